// Dialog 155, the script rule's editor: the text it offers, the test run on OK that
// accepts only a boolean result (the boxes for every other outcome keep the dialog
// open), the script's own boxes during the test run, and the edit's keys.
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "doc/QXAppSettings.h"
#include "rule/QXScriptRule.h"
#include "ui/UiTest.h"

using namespace quenrix;
using quenrix::test::control;
using quenrix::test::refusedOk;
using quenrix::test::whenModal;

namespace {

QPlainTextEdit* editOf(QWidget* dlg) {
    return control<QPlainTextEdit>(dlg, 1040);
}

}  // namespace

class ScriptDialogTest : public QObject {
    Q_OBJECT
private slots:
    void newRuleOffersTheDialogScript() {
        QXScriptRule rule;
        QWidget owner;
        QString caption, shown;
        bool focused = false;
        whenModal([&](QWidget* dlg) {
            caption = dlg->windowTitle();
            shown = editOf(dlg)->toPlainText();
            focused = dlg->focusWidget() == editOf(dlg);
            control<QPushButton>(dlg, 1)->click();
        });
        QVERIFY(rule.edit(&owner));
        QCOMPARE(caption, QStringLiteral("条件：スクリプト"));
        QCOMPARE(shown, QStringLiteral("function Main() {\n\n\treturn true;\n\n}\n"));
        QVERIFY(focused);
        // Accepted with CR LF line breaks.
        QCOMPARE(rule.script(), std::wstring(QXScriptRule::kDialogScript));
        QVERIFY(!rule.fresh());
    }

    void acceptsABooleanWithCrLf() {
        QXScriptRule rule;
        rule.setScript(L"function Main() {\r\n\treturn true;\r\n}\r\n");
        QWidget owner;
        QString shown;
        whenModal([&](QWidget* dlg) {
            shown = editOf(dlg)->toPlainText();
            editOf(dlg)->setPlainText(QStringLiteral("function Main() {\n\treturn false;\n}"));
            control<QPushButton>(dlg, 1)->click();
        });
        QVERIFY(rule.edit(&owner));
        QCOMPARE(shown, QStringLiteral("function Main() {\n\treturn true;\n}\n"));
        QCOMPARE(rule.script(), std::wstring(L"function Main() {\r\n\treturn false;\r\n}"));
    }

    void refusesEveryOtherOutcome() {
        QXAppSettings& settings = QXAppSettings::instance();
        const int32_t savedLimit = settings.scriptTimeLimit;
        settings.scriptTimeLimit = 1;
        const int error = int(QMessageBox::Critical);
        const struct {
            QString script;
            QString box;  // caption|text|icon, or a prefix of it
        } cases[] = {
            {QStringLiteral("function Main() { return 1; }"),
             QStringLiteral(
                 "スクリプトエラー|戻り値が不正です。\n「true」か「false」を返してください。|%1")
                 .arg(error)},
            {QStringLiteral("function Main() {\n}\n"),
             QStringLiteral(
                 "スクリプトエラー|戻り値がありません。\n「true」か「false」を返してください。|%1")
                 .arg(error)},
            {QStringLiteral("function Other() { return true; }"),
             QStringLiteral("Error|スクリプトエラー|%1").arg(error)},
            {QStringLiteral("function Main() { for (;;) {} }"),
             QStringLiteral("スクリプトエラー|スクリプトが 1 秒以内に終わりませんでした。|%1")
                 .arg(error)},
            {QStringLiteral("function Main( {\n}"), QStringLiteral("SyntaxError|")},
            // The test run's file record is empty.
            {QStringLiteral("function Main() { return target.fileName.length == 0 && "
                            "target.fileSize == 0 && fileExt == ''; }"),
             QStringLiteral("(accepted)")},
        };
        QXScriptRule rule;
        QWidget owner;
        QStringList seen;
        QList<bool> editFocused;
        whenModal([&](QWidget* dlg) {
            for (const auto& c : cases) {
                editOf(dlg)->setPlainText(c.script);
                if (c.box == QStringLiteral("(accepted)")) {
                    control<QPushButton>(dlg, 1)->click();
                    seen << (dlg->isVisible() ? QStringLiteral("(still open)") : c.box);
                    return;
                }
                seen << refusedOk(dlg);
                editFocused << (dlg->focusWidget() == editOf(dlg));
            }
            control<QPushButton>(dlg, 2)->click();
        });
        const bool accepted = rule.edit(&owner);
        settings.scriptTimeLimit = savedLimit;
        QVERIFY(accepted);
        QCOMPARE(seen.size(), int(std::size(cases)));
        for (size_t i = 0; i < std::size(cases); ++i) {
            QVERIFY2(seen[int(i)].startsWith(cases[i].box), qPrintable(seen[int(i)]));
        }
        QVERIFY(!editFocused.contains(false));
    }

    void scriptBoxesShowDuringTheTestRun() {
        QXScriptRule rule;
        QWidget owner;
        QString box;
        whenModal([&](QWidget* dlg) {
            editOf(dlg)->setPlainText(QStringLiteral(
                "function Main() { MsgBox.Show('見て', 'タイトル'); return true; }"));
            whenModal(
                [&](QWidget* w) {
                    auto* shown = qobject_cast<QMessageBox*>(w);
                    box = shown ? shown->windowTitle() + u'|' + shown->text()
                                : QStringLiteral("(not a box)");
                    w->close();
                },
                dlg);
            control<QPushButton>(dlg, 1)->click();
        });
        QVERIFY(rule.edit(&owner));
        QCOMPARE(box, QStringLiteral("タイトル|見て"));
    }

    void tabInsertsATabAndCancelKeepsTheScript() {
        QXScriptRule rule;
        rule.setScript(L"function Main() { return true; }");
        QWidget owner;
        QString typed;
        whenModal([&](QWidget* dlg) {
            QPlainTextEdit* edit = editOf(dlg);
            edit->setFocus();
            edit->moveCursor(QTextCursor::End);
            QTest::keyClick(edit, Qt::Key_Tab);
            QTest::keyClick(edit, Qt::Key_Return);
            typed = edit->toPlainText();
            const bool stillFocused = dlg->focusWidget() == edit;
            control<QPushButton>(dlg, 2)->click();
            QVERIFY(stillFocused);
        });
        QVERIFY(!rule.edit(&owner));
        QCOMPARE(typed, QStringLiteral("function Main() { return true; }\t\n"));
        QCOMPARE(rule.script(), std::wstring(L"function Main() { return true; }"));
    }
};

QX_UI_TEST(ScriptDialogTest);

#include "script_dialog_test.moc"
