#include "rule/ui/CRuleDuplicateDlg.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFormLayout>

#include <array>

#include "core/ui/QtText.h"

namespace quenrix {

namespace {

using Rule = QXCheckDuplicateRule;

// The algorithms in the order of the list: the exact and the quick ones first, the
// longer digests and xxHash last.
constexpr std::array<int32_t, Rule::kAlgorithmCount> kAlgorithmOrder = {
    Rule::kExact, Rule::kCrc32, Rule::kMd5,    Rule::kNameAndSize, Rule::kName,  Rule::kStem,
    Rule::kSize,  Rule::kSha1,  Rule::kSha256, Rule::kSha512,      Rule::kXxHash};

int32_t rowOf(int32_t algorithm) {
    for (size_t row = 0; row < kAlgorithmOrder.size(); ++row) {
        if (kAlgorithmOrder[row] == algorithm) return int32_t(row);
    }
    return -1;
}

}  // namespace

CRuleDuplicateDlg::CRuleDuplicateDlg(QXCheckDuplicateRule& rule, QWidget* parent)
    : CRuleEditDlg(QStringLiteral("条件：重複"), parent), m_rule(rule) {
    QStringList algorithms;
    for (int32_t algorithm : kAlgorithmOrder) {
        algorithms << toQtText(Rule::algorithmLabel(algorithm));
    }
    m_algorithm = makeCombo(1044, algorithms, this);
    m_target = makeCombo(1102,
                         {toQtText(Rule::targetLabel(Rule::kDuplicates)),
                          toQtText(Rule::targetLabel(Rule::kUnique))},
                         this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("判定処理:"), m_algorithm);
    form->addRow(QStringLiteral("削除対象:"), m_target);
    body()->addLayout(form);

    // A new rule has xxHash and the duplicates as its target.
    selectItem(m_algorithm, rowOf(rule.algorithm()));
    selectItem(m_target, rule.target());
    m_algorithm->setFocus();
}

bool CRuleDuplicateDlg::takeInput() {
    const int32_t row = selectedItem(m_algorithm, -1);
    if (row >= 0) m_rule.setAlgorithm(kAlgorithmOrder[size_t(row)]);
    m_rule.setTarget(selectedItem(m_target, m_rule.target()));
    return true;
}

}  // namespace quenrix
