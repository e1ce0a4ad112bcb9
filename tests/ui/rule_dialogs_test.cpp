// The rule edit dialogs driven through their own controls: every kind is filled in and
// confirmed, refused input keeps the dialog open behind its box, a reopened dialog shows
// the rule and キャンセル leaves it as it was, and 条件追加 puts a confirmed rule into the
// main form's list.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDate>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "doc/CQuenrixDoc.h"
#include "doc/QXFolderHistory.h"
#include "rule/QXFileAttrRule.h"
#include "rule/QXFileExtRule.h"
#include "rule/QXFileSizeRule.h"
#include "rule/QXFileTimeRule.h"
#include "rule/QXFilenameRule.h"
#include "rule/QXRuleRegistry.h"
#include "rule/ui/CRuleListCtrl.h"
#include "support/Recorders.h"
#include "ui/UiTest.h"
#include "view/ui/CQuenrixView.h"

using namespace quenrix;

namespace {

using quenrix::test::whenModal;
using quenrix::test::whenPopup;

QString qs(const std::wstring& text) {
    return QString::fromStdWString(text);
}

template <class W>
W* control(QWidget* dlg, int id) {
    W* w = dlg->findChild<W*>(QStringLiteral("c%1").arg(id));
    if (!w) qFatal("no control c%d in %s", id, qPrintable(dlg->windowTitle()));
    return w;
}

void type(QWidget* dlg, int id, const QString& text) {
    auto* edit = control<QLineEdit>(dlg, id);
    edit->clear();
    QTest::keyClicks(edit, text);
}
void press(QWidget* dlg, int id) {
    control<QAbstractButton>(dlg, id)->click();
}
void choose(QWidget* dlg, int id, int index) {
    control<QComboBox>(dlg, id)->setCurrentIndex(index);
}

// Presses OK expecting a refusal: "caption|text" of the box it shows (closed here), with
// "|closed" appended when the dialog did not stay open.
QString refusedOk(QWidget* dlg) {
    QString seen = QStringLiteral("(no box)");
    auto armed = std::make_shared<bool>(true);
    whenModal(
        [&seen](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            seen = box ? box->windowTitle() + u'|' + box->text() : QStringLiteral("(not a box)");
            w->close();
        },
        dlg, armed);
    press(dlg, 1);
    *armed = false;
    if (!dlg->isVisible()) seen += QStringLiteral("|closed");
    return seen;
}

// The values of the enabled inputs, by control name.
QStringList inputs(QWidget* dlg) {
    QStringList values;
    for (QWidget* w : dlg->findChildren<QWidget*>()) {
        if (!w->isEnabled() || w->objectName().isEmpty()) continue;
        QString value;
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            value = edit->text();
        } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            value = QString::number(combo->currentIndex());
        } else if (auto* button = qobject_cast<QAbstractButton*>(w);
                   button && button->isCheckable()) {
            value = button->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
        } else {
            continue;
        }
        values << w->objectName() + u'=' + value;
    }
    values.sort();
    return values;
}

// Changes every enabled input.
void scramble(QWidget* dlg) {
    for (auto* edit : dlg->findChildren<QLineEdit*>()) {
        if (edit->isEnabled()) edit->setText(QStringLiteral("7"));
    }
    for (auto* combo : dlg->findChildren<QComboBox*>()) {
        if (combo->isEnabled())
            combo->setCurrentIndex((combo->currentIndex() + 1) % combo->count());
    }
    for (auto* button : dlg->findChildren<QAbstractButton*>()) {
        if (button->isEnabled() && button->isCheckable()) button->click();
    }
}

struct KindCase {
    const char* name;
    int32_t typeId;
    const char* caption;
    // Fills the dialog of a new rule; may press OK on refused input on the way.
    std::function<void(QWidget*)> fill;
    const char* description;
    std::function<void(const QXRule&)> check;
};

const std::vector<KindCase>& kindCases() {
    using platform::SYSTEMTIME;
    static const std::vector<KindCase> cases = {
        {"filename", ruletype::kFilename, "条件：ファイル名",
         [](QWidget* d) {
             auto* function = control<QComboBox>(d, 1013);
             QCOMPARE(function->count(), 4);
             QCOMPARE(function->itemText(3), QStringLiteral("を含まない"));
             QCOMPARE(function->currentIndex(), 0);
             QCOMPARE(d->focusWidget(), control<QLineEdit>(d, 1012));
             QCOMPARE(refusedOk(d), QStringLiteral("INFORMATION|ファイル名を入力してください"));
             type(d, 1012, QStringLiteral("re\"port"));
             QCOMPARE(refusedOk(d), QStringLiteral("INFORMATION|「\"」は使用できません。"));
             type(d, 1012, QStringLiteral("report"));
             choose(d, 1013, 2);
             press(d, 1042);
         },
         "\"report\"を含む,拡張子無視",
         [](const QXRule& r) {
             const auto& rule = dynamic_cast<const QXFilenameRule&>(r);
             QCOMPARE(rule.pattern(), std::wstring(L"report"));
             QCOMPARE(rule.function(), 2);
             QVERIFY(rule.ignoreExtension() && !rule.ignoreCase());
         }},
        {"wildcard", ruletype::kFilenameWildcard, "条件：ファイル名（ワイルドカード）",
         [](QWidget* d) {
             QCOMPARE(control<QComboBox>(d, 1013)->count(), 2);
             type(d, 1012, QStringLiteral("a(b"));
             QCOMPARE(refusedOk(d), QStringLiteral("Quenrix|不正なワイルドカードです"));
             type(d, 1012, QStringLiteral("*.jpg"));
             choose(d, 1013, 1);
             press(d, 1043);
         },
         "ファイル名（ワイルドカード）：\"*.jpg\"と一致しない,小文字大文字区別しない",
         [](const QXRule& r) {
             const auto& rule = dynamic_cast<const QXFilenameRule&>(r);
             QCOMPARE(rule.function(), 1);
             QVERIFY(rule.ignoreCase() && !rule.ignoreExtension());
             // Compiled, without regard to case.
             QVERIFY(!rule.match(L"A.JPG"));
             QVERIFY(rule.match(L"a.png"));
         }},
        {"regexp", ruletype::kFilenameRegexp, "条件：ファイル名（正規表現）",
         [](QWidget* d) {
             type(d, 1012, QStringLiteral(R"(^IMG_\d+$)"));
             press(d, 1043);
         },
         R"("^IMG_\d+$"と一致,小文字大文字区別しない)",
         [](const QXRule& r) {
             const auto& rule = dynamic_cast<const QXFilenameRule&>(r);
             QCOMPARE(rule.function(), 0);
             QVERIFY(rule.match(L"img_123"));
             QVERIFY(!rule.match(L"img_12a"));
         }},
        {"extension", ruletype::kFileExt, "条件：拡張子",
         [](QWidget* d) {
             const auto labels = d->findChildren<QLabel*>();
             QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel* label) {
                 return label->text() ==
                        QStringLiteral("複数の拡張子を指定する場合は、\",\"で区切ってください");
             }));
             QCOMPARE(control<QComboBox>(d, 1015)->currentIndex(), 0);
             QCOMPARE(refusedOk(d), QStringLiteral("INFORMATION|拡張子を入力してください"));
             type(d, 1014, QStringLiteral("jpg,png"));
             choose(d, 1015, 1);
         },
         "\"jpg,png\"と一致しない",
         [](const QXRule& r) {
             const auto& rule = dynamic_cast<const QXFileExtRule&>(r);
             QCOMPARE(rule.extensions(), std::wstring(L"jpg,png"));
             QCOMPARE(rule.function(), 1);
         }},
        {"size", ruletype::kFileSize, "条件：ファイルサイズ",
         [](QWidget* d) {
             QCOMPARE(control<QComboBox>(d, 1016)->currentIndex(), 0);
             QCOMPARE(control<QComboBox>(d, 1018)->currentIndex(), 2);
             type(d, 1017, QStringLiteral("5x"));
             QCOMPARE(control<QLineEdit>(d, 1017)->text(), QStringLiteral("5"));
             type(d, 1017, QStringLiteral("18446744073709551616"));
             QCOMPARE(refusedOk(d),
                      QStringLiteral("INFORMATION|ファイルサイズが大きすぎます。"
                                     "18446744073709551615 以下の数を入力してください"));
             type(d, 1017, QStringLiteral("5000000000"));
             choose(d, 1016, 2);
             choose(d, 1018, 3);
         },
         "\"5000000000 MByte\" 以下",
         [](const QXRule& r) {
             const auto& rule = dynamic_cast<const QXFileSizeRule&>(r);
             QCOMPARE(rule.size(), uint64_t(5000000000));
             QCOMPARE(rule.unit(), QXFileSizeRule::kMByte);
             QCOMPARE(rule.function(), QXFileSizeRule::kAtMost);
         }},
        {"attribute", ruletype::kFileAttr, "条件：ファイル属性",
         [](QWidget* d) {
             auto* function = control<QComboBox>(d, 1049);
             QCOMPARE(function->currentIndex(), 0);
             QCOMPARE(function->itemText(2),
                      QStringLiteral("チェックのついた属性のどれかと一致する"));
             press(d, 1045);
             press(d, 1047);
             choose(d, 1049, 2);
         },
         "「読み取り専用」「隠しファイル」属性のどれかと一致",
         [](const QXRule& r) {
             const auto& rule = dynamic_cast<const QXFileAttrRule&>(r);
             QCOMPARE(rule.mask(),
                      platform::FILE_ATTRIBUTE_READONLY | platform::FILE_ATTRIBUTE_HIDDEN);
             QCOMPARE(rule.function(), QXFileAttrRule::kAny);
         }},
        {"create time", ruletype::kCreateTime, "条件：作成時間",
         [](QWidget* d) {
             // A new rule: the current time, 以降, the distance in minutes.
             QVERIFY(control<QRadioButton>(d, 1061)->isChecked());
             QVERIFY(!control<QLineEdit>(d, 1019)->isEnabled());
             QCOMPARE(control<QComboBox>(d, 1020)->currentIndex(), 2);
             QVERIFY(control<QLineEdit>(d, 1065)->isEnabled());
             QCOMPARE(control<QComboBox>(d, 1063)->currentIndex(), 0);
             QVERIFY(!control<QComboBox>(d, 1070)->isEnabled());
             press(d, 1062);
             QVERIFY(control<QLineEdit>(d, 1019)->isEnabled());
             type(d, 1019, QStringLiteral("2024"));
             type(d, 1014, QStringLiteral("13"));
             type(d, 1015, QStringLiteral("5"));
             type(d, 1017, QStringLiteral("10"));
             type(d, 1016, QStringLiteral("75"));
             QCOMPARE(refusedOk(d),
                      QStringLiteral("INFORMATION|月の値が不正です\n分の値が不正です\n"));
             type(d, 1014, QStringLiteral("3"));
             type(d, 1016, QStringLiteral("20"));
             choose(d, 1020, 0);
             QVERIFY(!control<QLineEdit>(d, 1065)->isEnabled());
             QVERIFY(!control<QComboBox>(d, 1063)->isEnabled());
             QVERIFY(control<QComboBox>(d, 1070)->isEnabled());
             choose(d, 1070, 2);
         },
         "作成時間：\"2024年 3月 5日\" と一致",
         [](const QXRule& r) {
             const auto& rule = dynamic_cast<const QXFileTimeRule&>(r);
             const SYSTEMTIME& t = rule.referenceTime();
             QCOMPARE(rule.timeType(), QXFileTimeRule::kStoredTime);
             QCOMPARE(QList<int>({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}),
                      QList<int>({2024, 3, 5, 10, 20, 0}));
             QCOMPARE(rule.precision(), QXFileTimeRule::kToDay);
         }},
        {"update time", ruletype::kUpdateTime, "条件：更新時間",
         [](QWidget* d) {
             choose(d, 1020, 3);
             type(d, 1065, QStringLiteral("30"));
             choose(d, 1063, 2);
         },
         "更新時間：\"現在の時間\" から 30 日以前",
         [](const QXRule& r) {
             const auto& rule = dynamic_cast<const QXFileTimeRule&>(r);
             QCOMPARE(rule.timeType(), QXFileTimeRule::kCurrentTime);
             QCOMPARE(rule.amount(), 30);
             QCOMPARE(rule.amountUnit(), QXFileTimeRule::kDays);
         }},
        {"access time", ruletype::kAccessTime, "条件：アクセス時間",
         [](QWidget* d) {
             press(d, 1062);
             type(d, 1019, QStringLiteral("1999"));
             press(d, 1064);
             QCOMPARE(control<QLineEdit>(d, 1019)->text(),
                      QString::number(QDate::currentDate().year()));
             type(d, 1019, QStringLiteral("2023"));
             type(d, 1014, QStringLiteral("12"));
             type(d, 1015, QString());
             QCOMPARE(refusedOk(d), QStringLiteral("INFORMATION|日を入力してください\n"));
             type(d, 1015, QStringLiteral("31"));
             type(d, 1017, QStringLiteral("23"));
             type(d, 1016, QStringLiteral("59"));
             choose(d, 1020, 4);
             type(d, 1065, QStringLiteral("7"));
             choose(d, 1063, 1);
         },
         "アクセス時間：\"2023年12月31日 23時59分\" から 7 時間以内",
         [](const QXRule& r) {
             const auto& rule = dynamic_cast<const QXFileTimeRule&>(r);
             QCOMPARE(rule.function(), QXFileTimeRule::kWithin);
             QCOMPARE(rule.amountUnit(), QXFileTimeRule::kHours);
             QCOMPARE(rule.precision(), QXFileTimeRule::kToMinute);
         }},
    };
    return cases;
}

}  // namespace

class RuleDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void editsEachKind_data() {
        QTest::addColumn<int>("index");
        for (size_t i = 0; i < kindCases().size(); ++i) {
            QTest::newRow(kindCases()[i].name) << int(i);
        }
    }

    void editsEachKind() {
        QFETCH(int, index);
        const KindCase& c = kindCases()[size_t(index)];
        QWidget owner;
        QXRulePtr rule = createRule(c.typeId);
        QVERIFY(rule);
        const QPoint cursor(40 + 10 * index, 60);
        QCursor::setPos(cursor);

        QString caption;
        QPoint shownAt;
        QStringList confirmed;
        whenModal([&](QWidget* dlg) {
            caption = dlg->windowTitle();
            shownAt = dlg->frameGeometry().topLeft();
            c.fill(dlg);
            confirmed = inputs(dlg);
            press(dlg, 1);
            if (auto* open = qobject_cast<QDialog*>(dlg); open && open->isVisible()) {
                open->reject();
            }
        });
        QVERIFY(rule->edit(static_cast<QWidget*>(&owner)));
        QCOMPARE(caption, QString::fromUtf8(c.caption));
        QCOMPARE(shownAt, cursor);
        QCOMPARE(qs(rule->description()), QString::fromUtf8(c.description));
        c.check(*rule);
        if (QTest::currentTestFailed()) return;

        // Reopened, the dialog shows the rule; every input changed and キャンセル keeps it.
        QStringList shown;
        whenModal([&](QWidget* dlg) {
            shown = inputs(dlg);
            scramble(dlg);
            press(dlg, 2);
        });
        QVERIFY(!rule->edit(static_cast<QWidget*>(&owner)));
        QCOMPARE(shown, confirmed);
        QCOMPARE(qs(rule->description()), QString::fromUtf8(c.description));
        c.check(*rule);
    }

    void addRuleThroughMainForm() {
        CQuenrixDoc doc;
        QXFolderHistory history;
        test::ScriptedPrompt prompt;
        CQuenrixView view(doc, history, prompt);
        view.show();
        // At the screen's corner the dialog is moved back onto the screen.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCursor::setPos(area.bottomRight());

        whenPopup([](QMenu* menu) {
            for (QAction* action : menu->actions()) {
                if (action->data().toInt() != ruletype::kFileExt) continue;
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
            menu->close();
        });
        QRect shown;
        whenModal([&](QWidget* dlg) {
            shown = dlg->frameGeometry();
            type(dlg, 1014, QStringLiteral("txt"));
            press(dlg, 1);
            if (dlg->isVisible()) dlg->close();
        });
        QTest::mouseClick(view.findChild<QPushButton*>(QStringLiteral("c1004")), Qt::LeftButton);

        QVERIFY(area.contains(shown));
        QCOMPARE(doc.rules.size(), size_t(1));
        auto* list = view.findChild<CRuleListCtrl*>(QStringLiteral("c1003"));
        QVERIFY(list);
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(CRuleListCtrl::kKindColumn), QStringLiteral("拡張子"));
        QCOMPARE(list->topLevelItem(0)->text(CRuleListCtrl::kDetailColumn),
                 QStringLiteral("\"txt\"と一致"));
    }
};

QX_UI_TEST(RuleDialogsTest);

#include "rule_dialogs_test.moc"
