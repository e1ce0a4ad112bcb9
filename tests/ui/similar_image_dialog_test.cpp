// The similar-image rule's dialog: what a new rule starts with, the labels and hints, OK
// storing the numbers as typed (signed, no range check) with the strict comparison and
// its "選択" action, and キャンセル leaving the rule alone.
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "rule/QXRuleRegistry.h"
#include "rule/QXSimilarImageRule.h"
#include "rule/ui/CRuleSimilarImageDlg.h"
#include "ui/UiTest.h"

using namespace quenrix;

namespace {

using quenrix::test::control;
using quenrix::test::whenModal;

QStringList texts(QWidget* dlg) {
    QStringList out;
    for (QLabel* label : dlg->findChildren<QLabel*>()) out << label->text();
    for (QGroupBox* box : dlg->findChildren<QGroupBox*>()) out << box->title();
    return out;
}

}  // namespace

class SimilarImageDialogTest : public QObject {
    Q_OBJECT
private slots:
    void newRuleThroughTheRegistry() {
        QWidget owner;
        QXRulePtr rule = createRule(ruletype::kSimilarImage);
        QVERIFY(rule);
        const QPoint cursor(60, 80);
        QCursor::setPos(cursor);
        QString caption;
        QPoint shownAt;
        QStringList start, actions, labels;
        bool strictShown = true;
        int actionRow = -1;
        whenModal([&](QWidget* dlg) {
            caption = dlg->windowTitle();
            shownAt = dlg->frameGeometry().topLeft();
            labels = texts(dlg);
            for (int id : {1133, 1041, 1042}) start << control<QLineEdit>(dlg, id)->text();
            strictShown = control<QCheckBox>(dlg, 1134)->isChecked();
            auto* action = control<QComboBox>(dlg, 1135);
            for (int i = 0; i < action->count(); ++i) actions << action->itemText(i);
            actionRow = action->currentIndex();
            control<QLineEdit>(dlg, 1133)->setText(QStringLiteral("-30"));
            control<QLineEdit>(dlg, 1041)->setText(QStringLiteral("150"));
            control<QLineEdit>(dlg, 1042)->setText(QString());
            control<QCheckBox>(dlg, 1134)->setChecked(true);
            control<QPushButton>(dlg, 1)->click();
        });
        QVERIFY(rule->edit(static_cast<QWidget*>(&owner)));
        QCOMPARE(caption, QStringLiteral("条件：類似画像"));
        QCOMPARE(shownAt, cursor);
        QCOMPARE(start, QStringList({"50", "50", "95"}));
        QVERIFY(!strictShown);
        QCOMPARE(actions, QStringList({QStringLiteral("拒否"), QStringLiteral("選択")}));
        QCOMPARE(actionRow, 1);  // "選択"
        for (const QString& want :
             {QStringLiteral("基本"), QStringLiteral("オプション"),
              QStringLiteral("ヒストグラムウェイト :"), QStringLiteral("パターンマッチウェイト :"),
              QStringLiteral("一致率 :"), QStringLiteral("一致しなかった場合 :"),
              QStringLiteral("(0..100)")}) {
            QVERIFY2(labels.contains(want), qPrintable(want));
        }
        QCOMPARE(labels.count(QStringLiteral("(0..100)")), 3);
        const auto& similar = dynamic_cast<const QXSimilarImageRule&>(*rule);
        QCOMPARE(similar.histogramWeight(), -30);
        QCOMPARE(similar.patternWeight(), 150);
        QCOMPARE(similar.matchRate(), 0);  // an empty box reads as 0, as stored texts do
        QVERIFY(similar.strict());
        QCOMPARE(similar.strictAction(), int32_t(QXSimilarImageRule::kSelect));
    }

    // An existing rule shows its values; 拒否 is stored as 0; キャンセル changes nothing.
    void existingRuleAndCancel() {
        QXSimilarImageRule rule;
        rule.setHistogramWeight(70);
        rule.setPatternWeight(30);
        rule.setMatchRate(90);
        rule.setStrict(true);
        rule.setStrictAction(QXSimilarImageRule::kReject);
        {
            CRuleSimilarImageDlg dlg(rule);
            QCOMPARE(control<QLineEdit>(&dlg, 1133)->text(), QStringLiteral("70"));
            QCOMPARE(control<QLineEdit>(&dlg, 1041)->text(), QStringLiteral("30"));
            QCOMPARE(control<QLineEdit>(&dlg, 1042)->text(), QStringLiteral("90"));
            QVERIFY(control<QCheckBox>(&dlg, 1134)->isChecked());
            QCOMPARE(control<QComboBox>(&dlg, 1135)->currentIndex(), 0);
            control<QLineEdit>(&dlg, 1133)->setText(QStringLiteral("1"));
            control<QComboBox>(&dlg, 1135)->setCurrentIndex(1);
            dlg.reject();
        }
        QCOMPARE(rule.histogramWeight(), 70);
        QCOMPARE(rule.strictAction(), int32_t(QXSimilarImageRule::kReject));

        CRuleSimilarImageDlg dlg(rule);
        control<QCheckBox>(&dlg, 1134)->setChecked(false);
        control<QComboBox>(&dlg, 1135)->setCurrentIndex(1);
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!rule.strict());
        QCOMPARE(rule.strictAction(), int32_t(QXSimilarImageRule::kSelect));
        QCOMPARE(rule.matchRate(), 90);
    }
};

QX_UI_TEST(SimilarImageDialogTest);

#include "similar_image_dialog_test.moc"
