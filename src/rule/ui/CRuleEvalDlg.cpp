#include "rule/ui/CRuleEvalDlg.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLineEdit>

#include "app/QXQtPrompt.h"
#include "core/ui/QtText.h"
#include "rule/QXExifRule.h"
#include "rule/QXRuleRegistry.h"

namespace quenrix {

CRuleEvalDlg::CRuleEvalDlg(QXEvalRule& rule, QWidget* parent)
    : CRuleEditDlg(toQtText(rule.kindName()), parent), m_rule(rule) {
    QStringList properties;
    for (int32_t i = 0; i < rule.propertyCount(); ++i) {
        properties << toQtText(rule.propertyLabel(i));
    }
    m_property = makeCombo(1123, properties, this);
    QStringList operators;
    for (int32_t op = 0; op < QXEvalRule::kOperatorCount; ++op) {
        operators << toQtText(QXEvalRule::operatorLabel(op));
    }
    m_operator = makeCombo(1124, operators, this);
    m_value = makeCombo(1125, {}, this);
    m_value->setEditable(true);
    // A typed value is a value, not a new suggestion.
    m_value->setInsertPolicy(QComboBox::NoInsert);
    m_value->setMinimumWidth(m_value->fontMetrics().averageCharWidth() * 30);

    auto* row = new QHBoxLayout;
    row->addWidget(m_property);
    row->addWidget(m_operator);
    row->addWidget(m_value, 1);
    body()->addLayout(row);

    selectItem(m_property, rule.property());
    selectItem(m_operator, rule.op());
    const QString stored = toQtText(rule.value());
    if (isExif()) {
        offerSuggestions(m_property->currentIndex());
        connect(m_property, &QComboBox::currentIndexChanged, this, &CRuleEvalDlg::offerSuggestions);
        connect(m_value, &QComboBox::activated, this, &CRuleEvalDlg::suggestionChosen);
        // A stored code that is listed shows its label selected.
        int selected = -1;
        const auto labels = QXExifRule::codeLabels(rule.property());
        bool digits = !stored.isEmpty();
        for (QChar c : stored) digits = digits && c.isDigit() && c.unicode() < 0x80;
        if (digits && stored.size() < 10) {
            const int32_t code = stored.toInt();
            for (size_t i = 0; i < labels.size(); ++i) {
                if (labels[i].code == code) selected = int(i);
            }
        }
        if (selected >= 0) {
            m_value->setCurrentIndex(selected);
        } else {
            m_value->setCurrentIndex(-1);
            m_value->setEditText(stored);
        }
    } else {
        m_value->setEditText(stored);
        m_value->lineEdit()->selectAll();
        m_value->setFocus();
    }
}

bool CRuleEvalDlg::isExif() const {
    return m_rule.typeId() == ruletype::kExif;
}

void CRuleEvalDlg::offerSuggestions(int property) {
    if (property == m_offeredFor) return;
    m_offeredFor = property;
    const QString typed = m_value->currentText();
    m_value->clear();
    QStringList items;
    if (property == QXExifRule::kMake) {
        for (const wchar_t* name : QXExifRule::makerNames()) items << toQtText(name);
    } else if (property == QXExifRule::kModel) {
        for (const wchar_t* name : QXExifRule::modelNames()) items << toQtText(name);
    } else {
        for (const auto& entry : QXExifRule::codeLabels(property)) items << toQtText(entry.label);
    }
    m_value->addItems(items);
    m_value->setCurrentIndex(-1);
    m_value->setEditText(typed);
}

void CRuleEvalDlg::suggestionChosen(int index) {
    if (m_property->currentIndex() != QXExifRule::kModel || index < 0) return;
    // "Canon EOS 5D" goes in as "EOS 5D": the maker is a property of its own.
    const QString name = m_value->itemText(index);
    const qsizetype space = name.indexOf(u' ');
    if (space >= 0) m_value->setEditText(name.mid(space + 1));
}

std::wstring CRuleEvalDlg::valueToStore() const {
    const QString text = m_value->currentText();
    const int index = m_value->currentIndex();
    if (isExif() && index >= 0 && text == m_value->itemText(index)) {
        const auto labels = QXExifRule::codeLabels(m_property->currentIndex());
        if (size_t(index) < labels.size()) return std::to_wstring(labels[size_t(index)].code);
    }
    return text.toStdWString();
}

std::wstring CRuleEvalDlg::checkInput(int property, int op, const std::wstring& value) {
    if (property < 0) return L"左辺値を選択してください";
    if (op < 0) return L"演算子を選択してください";
    if (value.empty()) return L"右辺値を入力してください";
    // Documents and presets hold one setting per line.
    if (value.find_first_of(L"\r\n") != std::wstring::npos) return L"「改行」は使用できません。";
    return {};
}

bool CRuleEvalDlg::takeInput() {
    const std::wstring value = valueToStore();
    const std::wstring message =
        checkInput(m_property->currentIndex(), m_operator->currentIndex(), value);
    if (!message.empty()) {
        QXQtPrompt prompt(this);
        prompt.messageBox(message, m_rule.kindName(), QXIcon::Warning);
        return false;
    }
    m_rule.setProperty(m_property->currentIndex());
    m_rule.setOperator(m_operator->currentIndex());
    m_rule.setValue(value);
    return true;
}

}  // namespace quenrix
