#include "rule/QXLastAccessTimeRule.h"

#include "rule/QXRuleRegistry.h"

namespace quenrix {

QXLastAccessTimeRule::QXLastAccessTimeRule()
    : QXFileTimeRule(ruleKind(ruletype::kAccessTime)->priority) {}

int32_t QXLastAccessTimeRule::typeId() const {
    return ruletype::kAccessTime;
}

std::shared_ptr<QXRule> QXLastAccessTimeRule::clone() const {
    auto copy = std::make_shared<QXLastAccessTimeRule>();
    copyTimeSettingsTo(*copy);
    return copy;
}

platform::FILETIME QXLastAccessTimeRule::recordTime(const QXFileInfo& file) const {
    return file.lastAccessTime();
}

}  // namespace quenrix
