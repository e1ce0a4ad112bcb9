#include "rule/ui/CRuleFileExtDlg.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "core/ui/QtText.h"

namespace quenrix {

CRuleFileExtDlg::CRuleFileExtDlg(QXFileExtRule& rule, QWidget* parent)
    : CRuleEditDlg(QStringLiteral("条件：拡張子"), parent), m_rule(rule) {
    m_extensions = named(new QLineEdit(this), 1014);
    m_extensions->setMinimumWidth(m_extensions->fontMetrics().averageCharWidth() * 40);
    QStringList words;
    for (int32_t f = 0; f < QXFileExtRule::kFunctionCount; ++f) {
        words << toQtText(QXFileExtRule::functionWord(f));
    }
    m_function = makeCombo(1015, words, this);
    auto* hint =
        new QLabel(QStringLiteral("複数の拡張子を指定する場合は、\",\"で区切ってください"), this);

    auto* row = new QHBoxLayout;
    row->addWidget(m_extensions, 1);
    row->addWidget(m_function);
    body()->addLayout(row);
    body()->addWidget(hint);

    selectItem(m_function, rule.function());
    m_extensions->setText(toQtText(rule.extensions()));
    m_extensions->selectAll();
    m_extensions->setFocus();
}

bool CRuleFileExtDlg::takeInput() {
    std::wstring extensions = m_extensions->text().toStdWString();
    const std::wstring message = checkFileExtInput(extensions);
    if (!message.empty()) {
        showInputError(message);
        return false;
    }
    m_rule.setExtensions(std::move(extensions));
    m_rule.setFunction(selectedItem(m_function, m_rule.function()));
    return true;
}

}  // namespace quenrix
