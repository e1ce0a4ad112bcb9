#include "rule/ui/CRuleSimilarImageDlg.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "core/ui/QtText.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

using Rule = QXSimilarImageRule;

}  // namespace

CRuleSimilarImageDlg::CRuleSimilarImageDlg(QXSimilarImageRule& rule, QWidget* parent)
    : CRuleEditDlg(QStringLiteral("条件：類似画像"), parent), m_rule(rule) {
    auto signedEdit = [this](int id, int32_t value) {
        auto* edit = named(new QLineEdit(QString::number(value), this), id);
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), edit));
        return edit;
    };
    m_histogramWeight = signedEdit(1133, rule.histogramWeight());
    m_patternWeight = signedEdit(1041, rule.patternWeight());
    m_matchRate = signedEdit(1042, rule.matchRate());

    auto* basic = new QGroupBox(QStringLiteral("基本"), this);
    auto* grid = new QGridLayout(basic);
    const struct {
        const char* label;
        QLineEdit* edit;
    } rows[] = {{"ヒストグラムウェイト :", m_histogramWeight},
                {"パターンマッチウェイト :", m_patternWeight},
                {"一致率 :", m_matchRate}};
    int row = 0;
    for (const auto& r : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(r.label), basic), row, 0);
        grid->addWidget(r.edit, row, 1);
        grid->addWidget(new QLabel(QStringLiteral("(0..100)"), basic), row, 2);
        ++row;
    }
    body()->addWidget(basic);

    m_strict = named(new QCheckBox(QStringLiteral("厳密に比較する :"), this), 1134);
    m_strict->setChecked(rule.strict());
    m_strictAction = makeCombo(1135,
                               {toQtText(Rule::strictActionLabel(Rule::kReject)),
                                toQtText(Rule::strictActionLabel(Rule::kSelect))},
                               this);
    selectItem(m_strictAction, rule.strictAction());
    auto* options = new QGroupBox(QStringLiteral("オプション"), this);
    auto* optionGrid = new QGridLayout(options);
    optionGrid->addWidget(m_strict, 0, 0, 1, 2);
    optionGrid->addWidget(new QLabel(QStringLiteral("一致しなかった場合 :"), options), 1, 0);
    optionGrid->addWidget(m_strictAction, 1, 1);
    body()->addWidget(options);

    m_histogramWeight->selectAll();
    m_histogramWeight->setFocus();
}

bool CRuleSimilarImageDlg::takeInput() {
    m_rule.setHistogramWeight(readInt32(m_histogramWeight->text().toStdWString()));
    m_rule.setPatternWeight(readInt32(m_patternWeight->text().toStdWString()));
    m_rule.setMatchRate(readInt32(m_matchRate->text().toStdWString()));
    m_rule.setStrict(m_strict->isChecked());
    m_rule.setStrictAction(selectedItem(m_strictAction, m_rule.strictAction()));
    return true;
}

}  // namespace quenrix
