// The edit dialog of the three metadata kinds (Exif, ID3, Video): one row of a property,
// an operator and an editable value, captioned with the kind's name. For Exif the value
// offers suggestions that follow the property (makers, models, the code labels); a code
// label chosen from them is stored as its code. User-interface thread only.
#pragma once

#include <string>

#include "rule/QXEvalRule.h"
#include "rule/ui/CRuleEditDlg.h"

class QComboBox;

namespace quenrix {

class CRuleEvalDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleEvalDlg(QXEvalRule& rule, QWidget* parent = nullptr);

    // The checks on OK, in order: a property, an operator, a value; the message to show
    // (empty when accepted). A value holding a line break cannot be stored either.
    static std::wstring checkInput(int property, int op, const std::wstring& value);

private:
    bool takeInput() override;
    bool isExif() const;
    // Refills the value's suggestions for the property, keeping the typed text.
    void offerSuggestions(int property);
    // A model name chosen from the list goes into the box without its maker.
    void suggestionChosen(int index);
    // The value to store: the code of a chosen code label, else the text as typed.
    std::wstring valueToStore() const;

    QXEvalRule& m_rule;
    QComboBox* m_property = nullptr;
    QComboBox* m_operator = nullptr;
    QComboBox* m_value = nullptr;
    int m_offeredFor = -1;
};

}  // namespace quenrix
