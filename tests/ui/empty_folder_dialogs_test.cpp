// The empty-folder flow through its four dialogs, offscreen: the options dialog's sorted
// lists and its refusal of a pattern that does not compile, 保存 keeping the lists
// without a search, the search and its result list (sorted, ticked), an unticked folder
// making its parent fail in the removal dialog, and the message when nothing is found.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "doc/QXAppSettings.h"
#include "folder/ui/SearchEmptyFolderRun.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "ui/UiTest.h"

using namespace quenrix;

namespace {

using test::ScriptedPrompt;
using test::TempDir;

using quenrix::test::control;

// Runs `step` on the first modal dialog that has a control with this id, once `ready`
// says so; gives up after a few seconds.
void whenDialog(int id, std::function<void(QWidget*)> step,
                std::function<bool(QWidget*)> ready = nullptr, int tries = 500) {
    QTimer::singleShot(10, [id, step = std::move(step), ready = std::move(ready), tries]() mutable {
        if (tries == 0) return;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->findChild<QWidget*>(QStringLiteral("c%1").arg(id)) ||
            (ready && !ready(modal))) {
            return whenDialog(id, std::move(step), std::move(ready), tries - 1);
        }
        step(modal);
    });
}

QStringList listTexts(QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    return texts;
}

QString qs(const std::string& native) {
    return QString::fromStdString(native);
}

std::vector<std::wstring> boxTexts(ScriptedPrompt& prompt) {
    std::vector<std::wstring> texts;
    for (const auto& box : prompt.boxes) texts.push_back(box.text);
    return texts;
}

QXAppSettings interactiveSettings() {
    QXAppSettings settings;
    settings.cmdRemoveEmptyFolder = 0;
    return settings;
}

}  // namespace

class EmptyFolderDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void searchReviewAndRemove() {
        TempDir dir;
        dir.createFile("t/a/Thumbs.db", "x");
        dir.createDir("t/b/c");
        dir.createFile("t/keep.txt", "x");
        QXAppSettings settings = interactiveSettings();
        ScriptedPrompt prompt;

        QStringList ignoreList, patternList, resultRows, removalLines;
        bool allTicked = true;
        bool okEnabledAtEnd = false, cancelEnabledAtEnd = true;
        whenDialog(1097, [&](QWidget* dlg) {
            ignoreList = listTexts(control<QListWidget>(dlg, 1097));
            // A pattern that does not compile is refused at once.
            control<QLineEdit>(dlg, 1112)->setText(QStringLiteral("(x"));
            control<QPushButton>(dlg, 1107)->click();
            patternList = listTexts(control<QListWidget>(dlg, 1113));
            control<QLineEdit>(dlg, 1112)->clear();
            control<QPushButton>(dlg, 1)->click();  // 検索
            whenDialog(1022, [&](QWidget* result) {
                auto* list = control<QTreeWidget>(result, 1022);
                for (int i = 0; i < list->topLevelItemCount(); ++i) {
                    resultRows << list->topLevelItem(i)->text(0);
                    allTicked = allTicked && list->topLevelItem(i)->checkState(0) == Qt::Checked;
                }
                // The innermost folder stays: its parent then cannot go.
                for (int i = 0; i < list->topLevelItemCount(); ++i) {
                    if (list->topLevelItem(i)->text(0) == qs(dir / "t/b/c"))
                        list->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
                }
                control<QPushButton>(result, 1)->click();
                whenDialog(
                    1115,
                    [&](QWidget* removal) {
                        removalLines = listTexts(control<QListWidget>(removal, 1115));
                        okEnabledAtEnd = control<QPushButton>(removal, 1)->isEnabled();
                        cancelEnabledAtEnd = control<QPushButton>(removal, 2)->isEnabled();
                        control<QPushButton>(removal, 1)->click();
                    },
                    [](QWidget* removal) { return control<QPushButton>(removal, 1)->isEnabled(); });
            });
        });
        QVERIFY(runEmptyFolderJob(nullptr, {dir / "t"}, prompt, settings));

        QCOMPARE(ignoreList,
                 QStringList({QStringLiteral("_catalog.vix"), QStringLiteral("desktop.ini"),
                              QStringLiteral("picasa.ini"), QStringLiteral("thumbs.db")}));
        QCOMPARE(patternList, QStringList());
        QCOMPARE(resultRows, QStringList({qs(dir / "t/a"), qs(dir / "t/b"), qs(dir / "t/b/c")}));
        QVERIFY(allTicked);
        QCOMPARE(removalLines,
                 QStringList(
                     {qs(dir / "t/b/c") + QStringLiteral("... Error (ディレクトリが残っています)"),
                      qs(dir / "t/b") + QStringLiteral("... Error (削除出来ませんでした)"),
                      qs(dir / "t/a/Thumbs.db") + QStringLiteral("... Removed"),
                      qs(dir / "t/a") + QStringLiteral("... Removed")}));
        QVERIFY(okEnabledAtEnd);
        QVERIFY(!cancelEnabledAtEnd);
        QCOMPARE(boxTexts(prompt),
                 (std::vector<std::wstring>{L"パターンが正しくありません\n(x",
                                            L"3 個見つかりました", L"エラーが発生しました"}));
        QCOMPARE(prompt.boxes[2].caption, std::wstring(L"Error"));
        QVERIFY(!test::pathExists(dir / "t/a"));
        QVERIFY(test::pathExists(dir / "t/b/c"));
        QVERIFY(test::pathExists(dir / "t/keep.txt"));
    }

    // 保存 keeps the lists, in the dialog's order, without searching.
    void saveOnly() {
        TempDir dir;
        dir.createDir("t/cache");
        QXAppSettings settings = interactiveSettings();
        settings.patternMatch = {L"*tmp*"};
        ScriptedPrompt prompt;
        whenDialog(1116, [&](QWidget* dlg) {
            control<QLineEdit>(dlg, 1112)->setText(QStringLiteral("*Cache*"));
            control<QPushButton>(dlg, 1107)->click();
            auto* ignore = control<QListWidget>(dlg, 1097);
            ignore->setCurrentRow(0);  // _catalog.vix
            control<QPushButton>(dlg, 1110)->click();
            control<QPushButton>(dlg, 1116)->click();
        });
        QVERIFY(runEmptyFolderJob(nullptr, {dir / "t"}, prompt, settings));
        QCOMPARE(settings.patternMatch, (std::vector<std::wstring>{L"*Cache*", L"*tmp*"}));
        QCOMPARE(settings.ignoreFile,
                 (std::vector<std::wstring>{L"desktop.ini", L"picasa.ini", L"thumbs.db"}));
        QVERIFY(prompt.boxes.empty());
        QVERIFY(test::pathExists(dir / "t/cache"));
    }

    // A stored pattern that does not compile stops 検索; nothing is searched.
    void invalidStoredPatternRefused() {
        TempDir dir;
        dir.createDir("t/a");
        QXAppSettings settings = interactiveSettings();
        settings.patternMatch = {L"[a"};
        ScriptedPrompt prompt;
        bool stayedOpen = false;
        whenDialog(1113, [&](QWidget* dlg) {
            control<QPushButton>(dlg, 1)->click();
            stayedOpen = dlg->isVisible();
            control<QPushButton>(dlg, 2)->click();
        });
        QVERIFY(!runEmptyFolderJob(nullptr, {dir / "t"}, prompt, settings));
        QVERIFY(stayedOpen);
        QCOMPARE(boxTexts(prompt), std::vector<std::wstring>{L"パターンが正しくありません\n[a"});
        QCOMPARE(prompt.boxes[0].caption, std::wstring(L"INFORMATION"));
        QVERIFY(test::pathExists(dir / "t/a"));
    }

    void nothingFound() {
        TempDir dir;
        dir.createFile("t/keep.txt", "x");
        QXAppSettings settings = interactiveSettings();
        ScriptedPrompt prompt;
        whenDialog(1097, [&](QWidget* dlg) { control<QPushButton>(dlg, 1)->click(); });
        QVERIFY(runEmptyFolderJob(nullptr, {dir / "t"}, prompt, settings));
        QCOMPARE(boxTexts(prompt),
                 std::vector<std::wstring>{L"空フォルダが見つかりませんでした。"});
        QCOMPARE(prompt.boxes[0].caption, std::wstring());
    }

    // With the RemoveEmptyFolder switch the progress and removal dialogs close by
    // themselves and everything found goes.
    void unattended() {
        TempDir dir;
        dir.createDir("t/a/b");
        dir.createFile("t/keep.txt", "x");
        QXAppSettings settings = interactiveSettings();
        settings.cmdRemoveEmptyFolder = 1;
        ScriptedPrompt prompt;
        QVERIFY(runEmptyFolderJob(nullptr, {dir / "t"}, prompt, settings));
        QVERIFY(prompt.boxes.empty());
        QVERIFY(!test::pathExists(dir / "t/a"));
        QVERIFY(test::pathExists(dir / "t/keep.txt"));
    }
};

QX_UI_TEST(EmptyFolderDialogsTest);

#include "empty_folder_dialogs_test.moc"
