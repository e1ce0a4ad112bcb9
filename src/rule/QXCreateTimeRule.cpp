#include "rule/QXCreateTimeRule.h"

#include "rule/QXRuleRegistry.h"

namespace quenrix {

QXCreateTimeRule::QXCreateTimeRule() : QXFileTimeRule(ruleKind(ruletype::kCreateTime)->priority) {}

int32_t QXCreateTimeRule::typeId() const {
    return ruletype::kCreateTime;
}

std::shared_ptr<QXRule> QXCreateTimeRule::clone() const {
    auto copy = std::make_shared<QXCreateTimeRule>();
    copyTimeSettingsTo(*copy);
    return copy;
}

platform::FILETIME QXCreateTimeRule::recordTime(const QXFileInfo& file) const {
    return file.creationTime();
}

}  // namespace quenrix
