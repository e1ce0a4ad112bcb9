// The edit dialog of the size rule: the number, its unit and the comparison. The number
// takes every value of 64 bits. User-interface thread only.
#pragma once

#include "rule/QXFileSizeRule.h"
#include "rule/ui/CRuleEditDlg.h"

class QComboBox;
class QLineEdit;

namespace quenrix {

class CRuleFileSizeDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleFileSizeDlg(QXFileSizeRule& rule, QWidget* parent = nullptr);

private:
    bool takeInput() override;

    QXFileSizeRule& m_rule;
    QLineEdit* m_size = nullptr;
    QComboBox* m_unit = nullptr;
    QComboBox* m_function = nullptr;
};

}  // namespace quenrix
