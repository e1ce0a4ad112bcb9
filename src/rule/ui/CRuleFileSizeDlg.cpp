#include "rule/ui/CRuleFileSizeDlg.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLineEdit>

#include "core/ui/QtText.h"

namespace quenrix {

CRuleFileSizeDlg::CRuleFileSizeDlg(QXFileSizeRule& rule, QWidget* parent)
    : CRuleEditDlg(QStringLiteral("条件：ファイルサイズ"), parent), m_rule(rule) {
    m_size = makeDigitsEdit(1017, this);
    m_size->setMinimumWidth(m_size->fontMetrics().averageCharWidth() * 22);
    QStringList units;
    for (int32_t u = 0; u < QXFileSizeRule::kUnitCount; ++u) {
        units << toQtText(QXFileSizeRule::unitName(u));
    }
    m_unit = makeCombo(1016, units, this);
    QStringList words;
    for (int32_t f = 0; f < QXFileSizeRule::kFunctionCount; ++f) {
        words << toQtText(QXFileSizeRule::functionWord(f));
    }
    m_function = makeCombo(1018, words, this);

    auto* row = new QHBoxLayout;
    row->addWidget(m_size, 1);
    row->addWidget(m_unit);
    row->addWidget(m_function);
    body()->addLayout(row);

    // A new rule has unit Byte and function 以上.
    selectItem(m_unit, rule.unit());
    selectItem(m_function, rule.function());
    m_size->setText(toQtText(formatFileSizeInput(rule.size())));
    m_size->selectAll();
    m_size->setFocus();
}

bool CRuleFileSizeDlg::takeInput() {
    uint64_t size = 0;
    const std::wstring message = checkFileSizeInput(m_size->text().toStdWString(), &size);
    if (!message.empty()) {
        showInputError(message);
        return false;
    }
    m_rule.setSize(size);
    m_rule.setUnit(selectedItem(m_unit, m_rule.unit()));
    m_rule.setFunction(selectedItem(m_function, m_rule.function()));
    return true;
}

}  // namespace quenrix
