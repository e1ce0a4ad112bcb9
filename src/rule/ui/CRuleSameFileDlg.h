// The edit dialog of the same-file rule: the algorithm and the reference file, typed,
// dropped on the path box or chosen with 参照.... OK accepts only a path that exists and
// then writes both into the rule. User-interface thread only.
#pragma once

#include "rule/QXSameFileRule.h"
#include "rule/ui/CRuleEditDlg.h"

class QComboBox;

namespace quenrix {

class CDropEdit;

class CRuleSameFileDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleSameFileDlg(QXSameFileRule& rule, QWidget* parent = nullptr);

private:
    bool takeInput() override;
    void onBrowse();

    QXSameFileRule& m_rule;
    QComboBox* m_algorithm = nullptr;
    CDropEdit* m_path = nullptr;
};

}  // namespace quenrix
