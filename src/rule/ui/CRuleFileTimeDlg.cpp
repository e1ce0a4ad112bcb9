#include "rule/ui/CRuleFileTimeDlg.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "core/ui/QtText.h"
#include "platform/Times.h"
#include "rule/QXRuleText.h"

namespace quenrix {

CRuleFileTimeDlg::CRuleFileTimeDlg(QXFileTimeRule& rule, QWidget* parent)
    : CRuleEditDlg(QStringLiteral("条件：") + toQtText(rule.kindName()), parent), m_rule(rule) {
    // 時間: the reference.
    auto* timeGroup = new QGroupBox(QStringLiteral("時間"), this);
    m_currentTime = named(new QRadioButton(QStringLiteral("現在の時間"), timeGroup), 1061);
    m_storedTime = named(new QRadioButton(QStringLiteral("時間を指定"), timeGroup), 1062);
    auto* fields = new QHBoxLayout;
    auto field = [&](int id, const char* unit) {
        QLineEdit* edit = makeDigitsEdit(id, timeGroup);
        edit->setMaximumWidth(edit->fontMetrics().averageCharWidth() * (id == 1019 ? 8 : 5));
        fields->addWidget(edit);
        fields->addWidget(new QLabel(QString::fromUtf8(unit), timeGroup));
        return edit;
    };
    m_year = field(1019, "年");
    m_month = field(1014, "月");
    m_day = field(1015, "日");
    m_hour = field(1017, "時");
    m_minute = field(1016, "分");
    fields->addStretch(1);
    auto* now = named(new QPushButton(QStringLiteral("現在の時間"), timeGroup), 1064);
    now->setAutoDefault(false);
    fields->addWidget(now);
    auto* timeLayout = new QVBoxLayout(timeGroup);
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_currentTime);
    radios->addWidget(m_storedTime);
    radios->addStretch(1);
    timeLayout->addLayout(radios);
    timeLayout->addLayout(fields);

    // 判定: the comparison.
    auto* testGroup = new QGroupBox(QStringLiteral("判定"), this);
    QStringList words, units, precisions;
    for (int32_t f = 0; f < QXFileTimeRule::kFunctionCount; ++f) {
        words << toQtText(QXFileTimeRule::functionWord(f));
    }
    // The seconds unit is never offered: item k is unit k + 1.
    for (int32_t u = QXFileTimeRule::kMinutes; u < QXFileTimeRule::kUnitCount; ++u) {
        units << toQtText(QXFileTimeRule::unitDialogText(u));
    }
    for (int32_t p = 0; p < QXFileTimeRule::kPrecisionCount; ++p) {
        precisions << toQtText(QXFileTimeRule::precisionText(p));
    }
    m_function = makeCombo(1020, words, testGroup);
    m_amount = makeDigitsEdit(1065, testGroup);
    m_amount->setMaximumWidth(m_amount->fontMetrics().averageCharWidth() * 8);
    m_amountUnit = makeCombo(1063, units, testGroup);
    m_precision = makeCombo(1070, precisions, testGroup);
    auto* testLayout = new QGridLayout(testGroup);
    testLayout->addWidget(m_function, 0, 0, 1, 3, Qt::AlignLeft);
    testLayout->addWidget(new QLabel(QStringLiteral("詳細:"), testGroup), 1, 0);
    testLayout->addWidget(m_amount, 1, 1);
    testLayout->addWidget(m_amountUnit, 1, 2, Qt::AlignLeft);
    testLayout->addWidget(new QLabel(QStringLiteral("有効時間:"), testGroup), 2, 0);
    testLayout->addWidget(m_precision, 2, 1, 1, 2, Qt::AlignLeft);
    testLayout->setColumnStretch(2, 1);

    body()->addWidget(timeGroup);
    body()->addWidget(testGroup);

    selectItem(m_function, rule.function());
    if (rule.timeType() == QXFileTimeRule::kStoredTime) {
        m_storedTime->setChecked(true);
        showTime(rule.referenceTime());
    } else {
        m_currentTime->setChecked(true);
        showTime(platform::currentLocalTime());
    }
    m_amount->setText(QString::number(rule.amount()));
    selectItem(m_amountUnit, rule.amountUnit() - 1);
    selectItem(m_precision, rule.precision());
    updateEnabling();
    m_year->selectAll();
    m_year->setFocus();

    connect(now, &QPushButton::clicked, this, [this] { showTime(platform::currentLocalTime()); });
    connect(m_storedTime, &QRadioButton::toggled, this, &CRuleFileTimeDlg::updateEnabling);
    connect(m_function, &QComboBox::currentIndexChanged, this, &CRuleFileTimeDlg::updateEnabling);
}

void CRuleFileTimeDlg::showTime(const platform::SYSTEMTIME& time) {
    const QXTimeFieldTexts texts = formatTimeFields(time);
    m_year->setText(toQtText(texts.year));
    m_month->setText(toQtText(texts.month));
    m_day->setText(toQtText(texts.day));
    m_hour->setText(toQtText(texts.hour));
    m_minute->setText(toQtText(texts.minute));
}

void CRuleFileTimeDlg::updateEnabling() {
    const bool stored = m_storedTime->isChecked();
    for (QLineEdit* edit : {m_year, m_month, m_day, m_hour, m_minute}) edit->setEnabled(stored);
    const int f = m_function->currentIndex();
    const bool distance = f == QXFileTimeRule::kAtOrAfter || f == QXFileTimeRule::kAtOrBefore ||
                          f == QXFileTimeRule::kWithin;
    m_amount->setEnabled(distance);
    m_amountUnit->setEnabled(distance);
    m_precision->setEnabled(f == QXFileTimeRule::kEqual || f == QXFileTimeRule::kNotEqual);
}

bool CRuleFileTimeDlg::takeInput() {
    const bool stored = m_storedTime->isChecked();
    const QXTimeFieldTexts texts{m_year->text().toStdWString(), m_month->text().toStdWString(),
                                 m_day->text().toStdWString(), m_hour->text().toStdWString(),
                                 m_minute->text().toStdWString()};
    platform::SYSTEMTIME reference;
    const std::wstring message = checkFileTimeInput(stored, texts, &reference);
    if (!message.empty()) {
        showInputError(message);
        return false;
    }
    m_rule.setReferenceTime(reference);
    m_rule.setTimeType(stored ? QXFileTimeRule::kStoredTime : QXFileTimeRule::kCurrentTime);
    m_rule.setFunction(selectedItem(m_function, m_rule.function()));
    m_rule.setAmount(readInt32(m_amount->text().toStdWString()));
    const int unit = m_amountUnit->currentIndex();
    if (unit >= 0) m_rule.setAmountUnit(int32_t(unit) + 1);
    m_rule.setPrecision(selectedItem(m_precision, m_rule.precision()));
    return true;
}

}  // namespace quenrix
