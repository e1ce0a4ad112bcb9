#include "rule/ui/CRuleImageSizeDlg.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "core/ui/QtText.h"

namespace quenrix {

namespace {

// What the edit shows for a stored side: a side below 0 is untested like 0, and the edit
// takes digits only.
QString sideText(int32_t value) {
    return QString::number(value > 0 ? value : 0);
}

}  // namespace

CRuleImageSizeDlg::CRuleImageSizeDlg(QXImageSizeRule& rule, QWidget* parent)
    : CRuleEditDlg(QStringLiteral("条件：画像サイズ"), parent), m_rule(rule) {
    m_width = makeDigitsEdit(1029, this);
    m_height = makeDigitsEdit(1019, this);
    // Ten digits hold every 32-bit value.
    m_width->setMaxLength(10);
    m_height->setMaxLength(10);
    QStringList labels;
    for (int32_t f = 0; f < QXImageSizeRule::kFunctionCount; ++f) {
        labels << toQtText(QXImageSizeRule::functionLabel(f));
    }
    m_function = makeCombo(1030, labels, this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("幅:"), m_width);
    form->addRow(QStringLiteral("高さ:"), m_height);
    form->addRow(QString(), m_function);
    body()->addLayout(form);
    body()->addWidget(new QLabel(
        QStringLiteral("（幅または高さのどちらかを無視する場合は０を入力してください）"), this));

    // A new rule shows 0, 0 and より大きい.
    m_width->setText(sideText(rule.width()));
    m_height->setText(sideText(rule.height()));
    selectItem(m_function, rule.function());
    m_width->selectAll();
    m_width->setFocus();
}

bool CRuleImageSizeDlg::takeInput() {
    int32_t width = 0, height = 0;
    const std::wstring message = QXImageSizeRule::checkInput(
        m_width->text().toStdWString(), m_height->text().toStdWString(), &width, &height);
    if (!message.empty()) {
        showInputError(message);
        return false;
    }
    m_rule.setWidth(width);
    m_rule.setHeight(height);
    m_rule.setFunction(selectedItem(m_function, m_rule.function()));
    return true;
}

}  // namespace quenrix
