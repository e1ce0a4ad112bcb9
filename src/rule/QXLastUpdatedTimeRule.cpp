#include "rule/QXLastUpdatedTimeRule.h"

#include "rule/QXRuleRegistry.h"

namespace quenrix {

QXLastUpdatedTimeRule::QXLastUpdatedTimeRule()
    : QXFileTimeRule(ruleKind(ruletype::kUpdateTime)->priority) {}

int32_t QXLastUpdatedTimeRule::typeId() const {
    return ruletype::kUpdateTime;
}

std::shared_ptr<QXRule> QXLastUpdatedTimeRule::clone() const {
    auto copy = std::make_shared<QXLastUpdatedTimeRule>();
    copyTimeSettingsTo(*copy);
    return copy;
}

platform::FILETIME QXLastUpdatedTimeRule::recordTime(const QXFileInfo& file) const {
    return file.lastWriteTime();
}

}  // namespace quenrix
