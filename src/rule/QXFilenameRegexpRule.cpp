#include "rule/QXFilenameRegexpRule.h"

#include "rule/QXRuleRegistry.h"

namespace quenrix {

QXFilenameRegexpRule::QXFilenameRegexpRule()
    : QXFilenameExpressionRule(ruleKind(ruletype::kFilenameRegexp)->priority) {}

int32_t QXFilenameRegexpRule::typeId() const {
    return ruletype::kFilenameRegexp;
}

std::shared_ptr<QXRule> QXFilenameRegexpRule::clone() const {
    auto copy = std::make_shared<QXFilenameRegexpRule>();
    copyFilenameSettingsTo(*copy);
    return copy;
}

std::wstring QXFilenameRegexpRule::invalidPatternMessage() const {
    return L"不正な正規表現です";
}

}  // namespace quenrix
