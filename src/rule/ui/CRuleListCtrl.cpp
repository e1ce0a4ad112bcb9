#include "rule/ui/CRuleListCtrl.h"
#include "core/ui/QtText.h"

#include <QHeaderView>

namespace quenrix {

namespace {

QColor rowColour(const QXRule& rule) {
    const QXRuleGroup* group = rule.group().get();
    if (!group) return QColor(0xFF, 0xFF, 0xFF);
    return group->displayNumber % 2 == 1 ? QColor(0xFF, 0xFF, 0xC0) : QColor(0xE0, 0xFF, 0xFF);
}

}  // namespace

CRuleListCtrl::CRuleListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(3);
    setHeaderLabels(
        {QStringLiteral("ルール名"), QStringLiteral("グループ"), QStringLiteral("詳細")});
    header()->resizeSection(kKindColumn, 150);
    header()->resizeSection(kGroupColumn, 150);
    header()->resizeSection(kDetailColumn, 500);
    header()->setStretchLastSection(false);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { emit ruleActivated(indexOfTopLevelItem(item)); });
}

void CRuleListCtrl::setRules(const QXRuleList& rules) {
    clear();
    m_rules.clear();
    for (const auto& rule : rules) appendRule(rule);
}

void CRuleListCtrl::appendRule(const QXRulePtr& rule) {
    m_rules.push_back(rule);
    auto* item = new QTreeWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    fillRow(item, *rule);
    addTopLevelItem(item);
}

void CRuleListCtrl::refreshRow(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item && size_t(row) < m_rules.size()) fillRow(item, *m_rules[size_t(row)]);
}

void CRuleListCtrl::fillRow(QTreeWidgetItem* item, const QXRule& rule) {
    item->setText(kKindColumn, toQtText(rule.kindName()));
    QString group;
    if (rule.group()) group = rule.groupType() == 0 ? QStringLiteral("AND") : QStringLiteral("OR");
    item->setText(kGroupColumn, group);
    item->setText(kDetailColumn, toQtText(rule.description()));
    item->setCheckState(kKindColumn, rule.enabled() ? Qt::Checked : Qt::Unchecked);
    // The tints are fixed, so the text colour is too, whatever the palette.
    const QBrush background(rowColour(rule));
    const QBrush foreground(Qt::black);
    for (int c = 0; c < columnCount(); ++c) {
        item->setBackground(c, background);
        item->setForeground(c, foreground);
    }
}

QXRulePtr CRuleListCtrl::ruleAt(int row) const {
    if (row < 0 || size_t(row) >= m_rules.size()) return nullptr;
    return m_rules[size_t(row)];
}

QXRuleList CRuleListCtrl::selectedRules() const {
    QXRuleList selected;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (topLevelItem(row)->isSelected()) selected.push_back(m_rules[size_t(row)]);
    }
    return selected;
}

void CRuleListCtrl::copyChecks() {
    for (int row = 0; row < topLevelItemCount() && size_t(row) < m_rules.size(); ++row) {
        m_rules[size_t(row)]->setEnabled(topLevelItem(row)->checkState(kKindColumn) == Qt::Checked);
    }
}

}  // namespace quenrix
