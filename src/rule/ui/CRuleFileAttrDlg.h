// The edit dialog of the attribute rule: one check box per attribute the rule knows and
// the test. Every combination is accepted, none checked included. User-interface thread
// only.
#pragma once

#include <array>

#include "rule/QXFileAttrRule.h"
#include "rule/ui/CRuleEditDlg.h"

class QCheckBox;
class QComboBox;

namespace quenrix {

class CRuleFileAttrDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleFileAttrDlg(QXFileAttrRule& rule, QWidget* parent = nullptr);

private:
    bool takeInput() override;

    QXFileAttrRule& m_rule;
    // In the order of the check boxes: read-only, archive, hidden, system.
    std::array<QCheckBox*, 4> m_attributes{};
    QComboBox* m_function = nullptr;
};

}  // namespace quenrix
