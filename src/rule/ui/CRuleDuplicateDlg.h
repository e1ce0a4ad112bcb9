// The edit dialog of the duplicate rule: the algorithm that makes two files equal and
// whether the duplicates or the other files match. OK writes both selections into the
// rule. User-interface thread only.
#pragma once

#include "rule/QXCheckDuplicateRule.h"
#include "rule/ui/CRuleEditDlg.h"

class QComboBox;

namespace quenrix {

class CRuleDuplicateDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleDuplicateDlg(QXCheckDuplicateRule& rule, QWidget* parent = nullptr);

private:
    bool takeInput() override;

    QXCheckDuplicateRule& m_rule;
    QComboBox* m_algorithm = nullptr;
    QComboBox* m_target = nullptr;
};

}  // namespace quenrix
