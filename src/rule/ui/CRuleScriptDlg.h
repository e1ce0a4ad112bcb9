// Dialog 155 "条件：スクリプト", the script rule's edit dialog: one multi-line edit
// (CScriptEdit, id 1040) with the rule's script, or the dialog's default text for a rule
// being added. OK test-runs the script once (an engine of its own, "target" an empty
// file record, the same time limit as a search) and accepts it only when Main returns a
// boolean; a failed run or another result is reported in a box, and the dialog stays
// open with the focus in the edit. The accepted text is stored with CR LF line breaks.
// User-interface thread only, while no search runs.
#pragma once

#include "rule/QXScriptRule.h"
#include "rule/ui/CRuleEditDlg.h"

namespace quenrix {

class CScriptEdit;

class CRuleScriptDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleScriptDlg(QXScriptRule& rule, QWidget* parent = nullptr);

private:
    bool takeInput() override;
    // Shows a box with the error icon.
    void showError(const std::wstring& text, const std::wstring& caption);

    QXScriptRule& m_rule;
    CScriptEdit* m_edit = nullptr;
};

}  // namespace quenrix
