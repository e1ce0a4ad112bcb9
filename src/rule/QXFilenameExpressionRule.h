// The common part of the two file-name kinds that search a compiled expression in the
// name (QXFilenameWildcardRule, QXFilenameRegexpRule): the compiled expression, compiling
// it, and the match. Each kind says how its pattern becomes an expression.
//
// Held through std::shared_ptr; compiled on the user-interface thread (dialog, reading,
// cloning), matched by the search worker. The compiled expression is immutable and shared
// between a rule and its copies.
#pragma once

#include <string>

#include "rule/QXFilenameRule.h"

namespace quenrix {

class QXFilenameExpressionRule : public QXFilenameRule {
public:
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    bool finishRead() override;
    int32_t functionCount() const override { return 2; }
    void assignSettingsFrom(const QXFilenameRule& other) override;

    // A match of the expression anywhere in the name counts. A rule whose expression
    // does not belong to the current pattern and case switch matches nothing.
    bool match(const std::wstring& name) const override;

    // Compiles the pattern with the current case switch; false when it is no valid
    // expression, and then the compiled expression is left as it was.
    virtual bool compile();
    // The expression the pattern stands for.
    virtual std::wstring expressionText() const = 0;
    // The message the dialog shows when the pattern does not compile.
    virtual std::wstring invalidPatternMessage() const = 0;

    // True when the compiled expression belongs to the current pattern and case switch.
    bool compiled() const;

protected:
    explicit QXFilenameExpressionRule(int32_t priority) : QXFilenameRule(priority) {}

private:
    QXWideRegexPtr m_expression;
    // What m_expression was compiled from.
    std::wstring m_compiledText;
    bool m_compiledIgnoreCase = false;
};

}  // namespace quenrix
