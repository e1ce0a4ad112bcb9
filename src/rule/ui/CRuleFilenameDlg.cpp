#include "rule/ui/CRuleFilenameDlg.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "core/ui/QtText.h"
#include "rule/QXFilenameExpressionRule.h"

namespace quenrix {

CRuleFilenameDlg::CRuleFilenameDlg(QXFilenameRule& rule, QWidget* parent)
    : CRuleEditDlg(QStringLiteral("条件：") + toQtText(rule.kindName()), parent),
      m_rule(rule),
      m_copy(std::static_pointer_cast<QXFilenameRule>(rule.clone())) {
    m_pattern = named(new QLineEdit(this), 1012);
    m_pattern->setMinimumWidth(m_pattern->fontMetrics().averageCharWidth() * 40);
    QStringList words;
    for (int32_t f = 0; f < rule.functionCount(); ++f) words << toQtText(rule.functionWord(f));
    m_function = makeCombo(1013, words, this);
    m_ignoreExtension = named(new QCheckBox(QStringLiteral("拡張子を無視する"), this), 1042);
    m_ignoreCase = named(new QCheckBox(QStringLiteral("小文字大文字を区別しない"), this), 1043);

    auto* row = new QHBoxLayout;
    row->addWidget(m_pattern, 1);
    row->addWidget(m_function);
    body()->addLayout(row);
    body()->addWidget(m_ignoreExtension);
    body()->addWidget(m_ignoreCase);

    // A new rule has function 0, so its first word is selected.
    selectItem(m_function, rule.function());
    m_ignoreExtension->setChecked(rule.ignoreExtension());
    m_ignoreCase->setChecked(rule.ignoreCase());
    m_pattern->setText(toQtText(rule.pattern()));
    m_pattern->selectAll();
    m_pattern->setFocus();
}

bool CRuleFilenameDlg::takeInput() {
    const std::wstring pattern = m_pattern->text().toStdWString();
    std::wstring message = checkFilenameInput(pattern);
    if (!message.empty()) {
        showInputError(message);
        return false;
    }
    message = checkFilenameExpression(m_copy->typeId(), pattern);
    if (!message.empty()) {
        showInputError(message, std::wstring());
        return false;
    }
    m_copy->setPattern(pattern);
    m_copy->setFunction(selectedItem(m_function, m_copy->function()));
    m_copy->setIgnoreExtension(m_ignoreExtension->isChecked());
    m_copy->setIgnoreCase(m_ignoreCase->isChecked());
    // The rule takes the expression compiled here, with the case switch it will use.
    if (auto* expression = dynamic_cast<QXFilenameExpressionRule*>(m_copy.get())) {
        if (!expression->compile()) {
            showInputError(expression->invalidPatternMessage(), std::wstring());
            return false;
        }
    }
    m_rule.assignSettingsFrom(*m_copy);
    return true;
}

}  // namespace quenrix
