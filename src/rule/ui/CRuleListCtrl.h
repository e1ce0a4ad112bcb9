// The rule list of the main form: one row per rule with its kind name, its group type
// and its description, a check box for the enabled flag, and the row tinted by group
// (ungrouped rows white, groups alternating pale yellow and pale cyan). The rows show a
// copy of the rule list given; the check boxes are written back with copyChecks().
// User-interface thread only.
#pragma once

#include <QTreeWidget>

#include "rule/QXRule.h"

namespace quenrix {

class CRuleListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { kKindColumn, kGroupColumn, kDetailColumn };

    explicit CRuleListCtrl(QWidget* parent = nullptr);

    // Rebuilds every row from `rules` in their order.
    void setRules(const QXRuleList& rules);
    // Appends one row.
    void appendRule(const QXRulePtr& rule);
    // Rewrites the texts, check box and colour of one row from its rule.
    void refreshRow(int row);

    const QXRuleList& rules() const { return m_rules; }
    QXRulePtr ruleAt(int row) const;
    // The selected rules, in row order.
    QXRuleList selectedRules() const;
    // Writes each row's check box into its rule's enabled flag.
    void copyChecks();

signals:
    // A row was double-clicked.
    void ruleActivated(int row);

private:
    void fillRow(QTreeWidgetItem* item, const QXRule& rule);

    QXRuleList m_rules;
};

}  // namespace quenrix
