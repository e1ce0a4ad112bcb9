// The wildcard file-name rule: "*" stands for any run of characters, "?" for one, "."
// for itself; every other character keeps its regular-expression meaning (so "+" and
// "(" are not literal). The pattern must cover the whole name.
//
// Held through std::shared_ptr; see QXFilenameExpressionRule for threads.
#pragma once

#include <string>
#include <string_view>

#include "rule/QXFilenameExpressionRule.h"

namespace quenrix {

class QXFilenameWildcardRule : public QXFilenameExpressionRule {
public:
    QXFilenameWildcardRule();

    int32_t typeId() const override;
    std::shared_ptr<QXRule> clone() const override;
    std::wstring expressionText() const override;
    std::wstring invalidPatternMessage() const override;

    // The anchored expression of a wildcard pattern.
    static std::wstring wildcardToExpression(std::wstring_view pattern);

protected:
    std::wstring descriptionPrefix() const override;
};

}  // namespace quenrix
