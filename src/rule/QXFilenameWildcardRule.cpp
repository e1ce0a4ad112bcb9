#include "rule/QXFilenameWildcardRule.h"

#include "rule/QXRuleRegistry.h"

namespace quenrix {

QXFilenameWildcardRule::QXFilenameWildcardRule()
    : QXFilenameExpressionRule(ruleKind(ruletype::kFilenameWildcard)->priority) {}

int32_t QXFilenameWildcardRule::typeId() const {
    return ruletype::kFilenameWildcard;
}

std::shared_ptr<QXRule> QXFilenameWildcardRule::clone() const {
    auto copy = std::make_shared<QXFilenameWildcardRule>();
    copyFilenameSettingsTo(*copy);
    return copy;
}

std::wstring QXFilenameWildcardRule::wildcardToExpression(std::wstring_view pattern) {
    std::wstring out = L"^";
    for (wchar_t c : pattern) {
        switch (c) {
            case L'*':
                out += L".*";
                break;
            case L'?':
                out += L'.';
                break;
            case L'.':
                out += L"[.]";
                break;
            default:
                out += c;
        }
    }
    out += L'$';
    return out;
}

std::wstring QXFilenameWildcardRule::expressionText() const {
    return wildcardToExpression(pattern());
}

std::wstring QXFilenameWildcardRule::invalidPatternMessage() const {
    return L"不正なワイルドカードです";
}

std::wstring QXFilenameWildcardRule::descriptionPrefix() const {
    return kindName() + L"：";
}

}  // namespace quenrix
