// The edit dialog of the similar-image rule: the histogram and pattern weights and the
// match rate (signed numbers, shown with their usual range 0..100), the strict
// comparison and what happens to a pair that fails it (拒否 or 選択). OK stores the values
// as they are. User-interface thread only.
#pragma once

#include "rule/QXSimilarImageRule.h"
#include "rule/ui/CRuleEditDlg.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace quenrix {

class CRuleSimilarImageDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleSimilarImageDlg(QXSimilarImageRule& rule, QWidget* parent = nullptr);

private:
    bool takeInput() override;

    QXSimilarImageRule& m_rule;
    QLineEdit* m_histogramWeight = nullptr;
    QLineEdit* m_patternWeight = nullptr;
    QLineEdit* m_matchRate = nullptr;
    QCheckBox* m_strict = nullptr;
    QComboBox* m_strictAction = nullptr;
};

}  // namespace quenrix
