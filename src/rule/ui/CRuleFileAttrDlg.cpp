#include "rule/ui/CRuleFileAttrDlg.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>

#include "core/ui/QtText.h"

namespace quenrix {

namespace {

struct AttributeBox {
    int id;
    const char* text;
    uint32_t bit;
};

const AttributeBox kAttributeBoxes[] = {
    {1045, "読み取り専用", platform::FILE_ATTRIBUTE_READONLY},
    {1046, "アーカイブ", platform::FILE_ATTRIBUTE_ARCHIVE},
    {1047, "隠しファイル", platform::FILE_ATTRIBUTE_HIDDEN},
    {1048, "システム", platform::FILE_ATTRIBUTE_SYSTEM},
};

}  // namespace

CRuleFileAttrDlg::CRuleFileAttrDlg(QXFileAttrRule& rule, QWidget* parent)
    : CRuleEditDlg(QStringLiteral("条件：ファイル属性"), parent), m_rule(rule) {
    auto* boxes = new QHBoxLayout;
    for (size_t i = 0; i < m_attributes.size(); ++i) {
        const AttributeBox& box = kAttributeBoxes[i];
        m_attributes[i] = named(new QCheckBox(QString::fromUtf8(box.text), this), box.id);
        m_attributes[i]->setChecked((rule.mask() & box.bit) != 0);
        boxes->addWidget(m_attributes[i]);
    }
    QStringList texts;
    for (int32_t f = 0; f < QXFileAttrRule::kFunctionCount; ++f) {
        texts << toQtText(QXFileAttrRule::functionDialogText(f));
    }
    m_function = makeCombo(1049, texts, this);
    body()->addLayout(boxes);
    body()->addWidget(m_function);

    selectItem(m_function, rule.function());
}

bool CRuleFileAttrDlg::takeInput() {
    uint32_t mask = 0;
    for (size_t i = 0; i < m_attributes.size(); ++i) {
        if (m_attributes[i]->isChecked()) mask |= kAttributeBoxes[i].bit;
    }
    m_rule.setMask(mask);
    m_rule.setFunction(selectedItem(m_function, m_rule.function()));
    return true;
}

}  // namespace quenrix
