// The edit dialog of the metadata kinds: its three titles, the Exif value suggestions
// that follow the property (makers, models put in without their maker, code labels
// stored as codes, free text stored as typed, a stored code shown selected), the
// refusals in order with the kind's caption, and the selected value of ID3 and Video.
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

#include "rule/QXExifRule.h"
#include "rule/QXID3Rule.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXVideoRule.h"
#include "ui/UiTest.h"

using namespace quenrix;

namespace {

using quenrix::test::control;
using quenrix::test::refusedOk;
using quenrix::test::whenModal;

QComboBox* box(QWidget* dlg, int id) {
    return control<QComboBox>(dlg, id);
}

// Runs the rule's dialog, doing `step` on it; true when it was confirmed.
bool editWith(QXRule& rule, const std::function<void(QWidget*)>& step) {
    QWidget owner;
    whenModal([&](QWidget* dlg) {
        step(dlg);
        if (dlg->isVisible()) static_cast<QDialog*>(dlg)->reject();
    });
    return rule.edit(static_cast<QWidget*>(&owner));
}

void pressOk(QWidget* dlg) {
    control<QAbstractButton>(dlg, 1)->click();
}

}  // namespace

class EvalRuleDialogTest : public QObject {
    Q_OBJECT
private slots:
    void exifSuggestionsFollowTheProperty() {
        auto rule = std::dynamic_pointer_cast<QXExifRule>(createRule(ruletype::kExif));
        QVERIFY(rule);
        QString title;
        QVERIFY(editWith(*rule, [&](QWidget* dlg) {
            title = dlg->windowTitle();
            QCOMPARE(box(dlg, 1123)->count(), QXExifRule::kPropertyCount);
            QCOMPARE(box(dlg, 1124)->count(), QXEvalRule::kOperatorCount);
            QCOMPARE(box(dlg, 1124)->itemText(11), QStringLiteral("が次より後、もしくは一致"));
            QComboBox* value = box(dlg, 1125);
            QVERIFY(value->isEditable());
            QCOMPARE(value->count(), 15);  // the makers
            QCOMPARE(value->itemText(8), QStringLiteral("Nikon"));

            box(dlg, 1123)->setCurrentIndex(QXExifRule::kModel);
            QCOMPARE(value->count(), 159);
            QCOMPARE(value->itemText(9), QStringLiteral("Canon EOS 5D Mark II"));
            value->setCurrentIndex(9);
            emit value->activated(9);
            QCOMPARE(value->currentText(), QStringLiteral("EOS 5D Mark II"));

            box(dlg, 1123)->setCurrentIndex(QXExifRule::kWidth);
            QCOMPARE(value->count(), 0);  // numbers have no suggestions
            QCOMPARE(value->currentText(), QStringLiteral("EOS 5D Mark II"));

            box(dlg, 1123)->setCurrentIndex(QXExifRule::kFlash);
            QCOMPARE(value->count(), 22);
            value->setCurrentIndex(7);
            QCOMPARE(value->currentText(), QStringLiteral("フラッシュなし、強制非発光モード"));
            box(dlg, 1124)->setCurrentIndex(QXEvalRule::kEqual);
            pressOk(dlg);
        }));
        QCOMPARE(title, QStringLiteral("Exif"));
        // A chosen label is stored as its code.
        QCOMPARE(rule->value(), std::wstring(L"16"));
        QCOMPARE(QString::fromStdWString(rule->description()),
                 QStringLiteral("フラッシュ が次と一致 'フラッシュなし、強制非発光モード'"));

        // Reopened, the stored code shows its entry; a typed value is stored as typed.
        QVERIFY(editWith(*rule, [&](QWidget* dlg) {
            QComboBox* value = box(dlg, 1125);
            QCOMPARE(value->currentIndex(), 7);
            QCOMPARE(value->currentText(), QStringLiteral("フラッシュなし、強制非発光モード"));
            value->setEditText(QStringLiteral("17"));
            pressOk(dlg);
        }));
        QCOMPARE(rule->value(), std::wstring(L"17"));

        // White balance and metering store their index, the light source its code.
        const struct {
            int32_t property;
            int index;
            const wchar_t* stored;
        } codes[] = {
            {QXExifRule::kWhiteBalance, 1, L"1"},
            {QXExifRule::kLightSource, 20, L"255"},
            {QXExifRule::kMeteringMode, 3, L"3"},
            {QXExifRule::kExposureMode, 2, L"2"},
        };
        for (const auto& c : codes) {
            QVERIFY(editWith(*rule, [&](QWidget* dlg) {
                box(dlg, 1123)->setCurrentIndex(c.property);
                box(dlg, 1125)->setCurrentIndex(c.index);
                pressOk(dlg);
            }));
            QCOMPARE(rule->value(), std::wstring(c.stored));
        }
    }

    void refusalsInOrderWithTheKindCaption() {
        QXID3Rule rule;
        QVERIFY(!editWith(rule, [&](QWidget* dlg) {
            const QString warning = QString::number(int(QMessageBox::Warning));
            box(dlg, 1123)->setCurrentIndex(-1);
            box(dlg, 1124)->setCurrentIndex(-1);
            QCOMPARE(refusedOk(dlg), QStringLiteral("ID3|左辺値を選択してください|") + warning);
            box(dlg, 1123)->setCurrentIndex(QXID3Rule::kTitle);
            QCOMPARE(refusedOk(dlg), QStringLiteral("ID3|演算子を選択してください|") + warning);
            box(dlg, 1124)->setCurrentIndex(QXEvalRule::kContains);
            QCOMPARE(refusedOk(dlg), QStringLiteral("ID3|右辺値を入力してください|") + warning);
            QCOMPARE(box(dlg, 1125)->count(), 0);
            static_cast<QDialog*>(dlg)->reject();
        }));
        // キャンセル left the rule as it was.
        QCOMPARE(rule.property(), 0);
        QCOMPARE(rule.value(), std::wstring());
    }

    void id3AndVideoShowTheValueSelected() {
        QXID3Rule id3;
        id3.setProperty(QXID3Rule::kGenre);
        id3.setOperator(QXEvalRule::kNotEqual);
        id3.setValue(L"Jazz");
        QXVideoRule video;
        video.setProperty(QXVideoRule::kLength);
        video.setOperator(QXEvalRule::kGreater);
        video.setValue(L"600");
        for (QXEvalRule* rule :
             {static_cast<QXEvalRule*>(&id3), static_cast<QXEvalRule*>(&video)}) {
            const int32_t property = rule->property();
            const int32_t op = rule->op();
            const QString value = QString::fromStdWString(rule->value());
            QString title;
            QVERIFY(editWith(*rule, [&](QWidget* dlg) {
                title = dlg->windowTitle();
                QComboBox* valueBox = box(dlg, 1125);
                QCOMPARE(box(dlg, 1123)->currentIndex(), property);
                QCOMPARE(box(dlg, 1124)->currentIndex(), op);
                QCOMPARE(valueBox->currentText(), value);
                QCOMPARE(valueBox->lineEdit()->selectedText(), value);
                QWidget* focus = dlg->focusWidget();
                QVERIFY(focus == valueBox || focus == valueBox->lineEdit());
                valueBox->lineEdit()->setText(QStringLiteral("120"));
                pressOk(dlg);
            }));
            QCOMPARE(title, QString::fromStdWString(rule->kindName()));
            QCOMPARE(rule->value(), std::wstring(L"120"));
        }
        QCOMPARE(QString::fromStdWString(video.description()),
                 QStringLiteral("長さ が次より大きい '120'"));
    }
};

QX_UI_TEST(EvalRuleDialogTest);

#include "eval_rule_dialog_test.moc"
