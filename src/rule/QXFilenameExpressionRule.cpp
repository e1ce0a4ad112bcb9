#include "rule/QXFilenameExpressionRule.h"

namespace quenrix {

bool QXFilenameExpressionRule::compile() {
    std::wstring text = expressionText();
    QXWideRegexPtr expression = compileExpression(text, ignoreCase());
    if (!expression) return false;
    m_expression = std::move(expression);
    m_compiledText = std::move(text);
    m_compiledIgnoreCase = ignoreCase();
    return true;
}

bool QXFilenameExpressionRule::compiled() const {
    return m_expression && m_compiledIgnoreCase == ignoreCase() &&
           m_compiledText == expressionText();
}

bool QXFilenameExpressionRule::finishRead() {
    return compile();
}

bool QXFilenameExpressionRule::apply(const QXFileList& files, QXRuleHost& host) {
    // Settings changed since the last compile (not through the dialog) are compiled now;
    // a pattern that does not compile then matches nothing.
    if (!compiled()) compile();
    const bool current = compiled();
    return applyEach(files, host, [&](QXFileInfo& file) {
        return current && matchExpression(m_expression, testedName(file.fileName()));
    });
}

bool QXFilenameExpressionRule::match(const std::wstring& name) const {
    return compiled() && matchExpression(m_expression, name);
}

void QXFilenameExpressionRule::assignSettingsFrom(const QXFilenameRule& other) {
    QXFilenameRule::assignSettingsFrom(other);
    const auto* source = dynamic_cast<const QXFilenameExpressionRule*>(&other);
    if (source && source->typeId() == typeId() && source->compiled()) {
        m_expression = source->m_expression;
        m_compiledText = source->m_compiledText;
        m_compiledIgnoreCase = source->m_compiledIgnoreCase;
    } else {
        compile();
    }
}

}  // namespace quenrix
