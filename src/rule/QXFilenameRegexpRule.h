// The regular-expression file-name rule: the pattern is a Perl-syntax expression searched
// anywhere in the name ("^" and "$" anchor it at the name's ends).
//
// Held through std::shared_ptr; see QXFilenameExpressionRule for threads.
#pragma once

#include <string>

#include "rule/QXFilenameExpressionRule.h"

namespace quenrix {

class QXFilenameRegexpRule : public QXFilenameExpressionRule {
public:
    QXFilenameRegexpRule();

    int32_t typeId() const override;
    std::shared_ptr<QXRule> clone() const override;
    std::wstring expressionText() const override { return pattern(); }
    std::wstring invalidPatternMessage() const override;
};

}  // namespace quenrix
