// The edit dialog of the extension rule: the comma-separated list and whether the
// extension must be in it or not. User-interface thread only.
#pragma once

#include "rule/QXFileExtRule.h"
#include "rule/ui/CRuleEditDlg.h"

class QComboBox;
class QLineEdit;

namespace quenrix {

class CRuleFileExtDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleFileExtDlg(QXFileExtRule& rule, QWidget* parent = nullptr);

private:
    bool takeInput() override;

    QXFileExtRule& m_rule;
    QLineEdit* m_extensions = nullptr;
    QComboBox* m_function = nullptr;
};

}  // namespace quenrix
