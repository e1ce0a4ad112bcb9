// The 処理 selector and 実行 on the main form: the twelve modes with the stored mode
// preselected, a copy run through the progress dialog with a scripted folder choice, and
// a failed delete ending in the error box.
#include <sys/stat.h>

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

#include "core/QXFileInfo.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXAppSettings.h"
#include "doc/QXFolderHistory.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tool/ui/CFileDeleteDlg.h"
#include "ui/FormFixture.h"
#include "ui/UiTest.h"
#include "view/ui/CQuenrixView.h"
#include "view/ui/QXResultListModel.h"

using namespace quenrix;
using quenrix::test::TempDir;

namespace {

using Form = test::FormFixture;

// What the progress dialog showed once its run had ended.
struct DialogSeen {
    bool seen = false;
    QString caption, label, mode, button;
    int progress = -1;
    QStringList lines;
};

// Waits for the progress dialog, lets its run end, notes what it shows and presses 確認.
// A dialog that closes by itself is noted as not seen.
void closeProgressWhenDone(DialogSeen& seen) {
    test::whenModal([&seen](QWidget* modal) {
        QPointer<CFileDeleteDlg> dlg = qobject_cast<CFileDeleteDlg*>(modal);
        if (!dlg) return;
        auto poll = std::make_shared<std::function<void()>>();
        *poll = [dlg, &seen, poll] {
            if (dlg && !dlg->done()) {
                QTimer::singleShot(10, *poll);
                return;
            }
            // Give a dialog that closes itself the time to do so.
            QTimer::singleShot(200, [dlg, &seen] {
                if (!dlg || !dlg->isVisible()) return;
                seen.seen = true;
                seen.caption = dlg->windowTitle();
                seen.label = dlg->waitLabel()->text();
                seen.mode = dlg->modeLabel()->text();
                seen.button = dlg->button()->text();
                seen.progress = dlg->progressBar()->value();
                for (int i = 0; i < dlg->lines()->count(); ++i) {
                    seen.lines << dlg->lines()->item(i)->text();
                }
                QTest::mouseClick(dlg->button(), Qt::LeftButton);
            });
        };
        (*poll)();
    });
}

// Three imported records with their own ticks: a.txt and c.txt ticked.
void showThree(Form& form, const TempDir& dir) {
    QXFileList records;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        QXFileInfoPtr file = QXFileInfo::fromPath(dir.createFile(std::string("src/") + name, name));
        if (std::string(name) != "b.txt") file->addFlags(QXFileInfo::kCheck);
        records.push_back(file);
    }
    form.view.showResults(records, false, true);
}

}  // namespace

class ActionsTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_saved = std::make_unique<QXAppSettings>(QXAppSettings::instance());
        QXAppSettings::instance().cmdAutoDel = 0;
    }
    void cleanup() { QXAppSettings::instance() = *m_saved; }

    void selectorListsTheModesWithTheStoredOnePreselected() {
        QXAppSettings::instance().defaultRunMode = 5;
        Form form;
        auto* box = form.control<QComboBox>(1135);
        QCOMPARE(box->count(), 12);
        QCOMPARE(box->itemText(0), QStringLiteral("削除"));
        QCOMPARE(box->itemText(1), QStringLiteral("ゴミ箱へ削除"));
        QCOMPARE(box->itemText(9), QStringLiteral("コピー先...（階層構造を維持）"));
        QCOMPARE(box->itemText(11), QStringLiteral("空フォルダ"));
        QCOMPARE(box->currentIndex(), 4);
        QVERIFY(box->isEnabled());
        QVERIFY(form.control(1008)->isEnabled());
    }

    void copyRunsThroughTheButtonWithAChosenFolder() {
        TempDir dir;
        const std::string dest = dir.createDir("dest");
        Form form;
        form.view.show();
        showThree(form, dir);
        int chooserCalls = 0;
        form.view.setDestinationChooser([&](std::string& folder) {
            ++chooserCalls;
            folder = dest;
            return true;
        });
        form.control<QComboBox>(1135)->setCurrentIndex(7);  // コピー先...
        DialogSeen seen;
        closeProgressWhenDone(seen);
        QTest::mouseClick(form.control(1008), Qt::LeftButton);

        QCOMPARE(chooserCalls, 1);
        QVERIFY(form.prompt.boxes.empty());
        QCOMPARE(QXAppSettings::instance().defaultRunMode, 8);
        QVERIFY(seen.seen);
        QCOMPARE(seen.mode, QStringLiteral("[ コピー ]"));
        QCOMPARE(seen.caption, QStringLiteral("処理しました"));
        QCOMPARE(seen.label, QStringLiteral("終了"));
        QCOMPARE(seen.button, QStringLiteral("確認"));
        QCOMPARE(seen.progress, 100);
        QCOMPARE(seen.lines.size(), 4);
        QCOMPARE(seen.lines.front(), QStringLiteral("処理を開始します..."));
        QVERIFY(seen.lines[1].endsWith(QStringLiteral("a.txt を削除しました")));
        QCOMPARE(seen.lines.back(), QStringLiteral("処理を終了します"));
        QCOMPARE(test::readFile(dest + "/a.txt"), std::string("a.txt"));
        QCOMPARE(test::readFile(dest + "/c.txt"), std::string("c.txt"));
        QVERIFY(test::pathExists(dir / "src/a.txt"));
        // The copied records left the list; the unticked one stays.
        QCOMPARE(form.view.resultModel()->rowCount(), 1);
        QCOMPARE(std::string(form.doc.results[0]->nativeName()), std::string("b.txt"));
        QCOMPARE(form.view.resultModel()->tickedCount(), size_t(0));
    }

    void failedDeleteEndsWithTheErrorBox() {
        TempDir dir;
        Form form;
        form.view.show();
        showThree(form, dir);
        ::chmod((dir / "src/a.txt").c_str(), 0444);
        form.control<QComboBox>(1135)->setCurrentIndex(0);  // 削除
        DialogSeen seen;
        closeProgressWhenDone(seen);
        QTest::mouseClick(form.control(1008), Qt::LeftButton);

        QCOMPARE(form.prompt.boxes.size(), size_t(2));
        QCOMPARE(form.prompt.boxes[0].text,
                 std::wstring(L"チェックされたファイルを「削除」してもよろしいですか？"));
        QCOMPARE(form.prompt.boxes[1].text, std::wstring(L"エラーが発生しました"));
        QCOMPARE(form.prompt.boxes[1].caption, std::wstring(L"Error"));
        QVERIFY(form.prompt.boxes[1].icon == QXIcon::Error);
        QVERIFY(seen.seen);
        QCOMPARE(seen.mode, QStringLiteral("[ 削除 ]"));
        QVERIFY(seen.lines[1].endsWith(QStringLiteral("a.txt を削除することが出来ませんでした")));
        QVERIFY(test::pathExists(dir / "src/a.txt"));
        QVERIFY(!test::pathExists(dir / "src/c.txt"));
        // a.txt stays ticked in the list beside the unticked b.txt.
        QCOMPARE(form.view.resultModel()->rowCount(), 2);
        QCOMPARE(form.view.resultModel()->tickedCount(), size_t(1));
        QCOMPARE(QXAppSettings::instance().defaultRunMode, 1);
    }

    void unattendedRunAsksNothingAndClosesItself() {
        TempDir dir;
        Form form;
        form.view.show();
        showThree(form, dir);
        QXAppSettings::instance().cmdAutoDel = 1;
        DialogSeen seen;
        closeProgressWhenDone(seen);
        QVERIFY(form.view.RunDelete(1));
        QVERIFY(form.prompt.boxes.empty());
        QVERIFY(!seen.seen);
        QVERIFY(!test::pathExists(dir / "src/a.txt"));
        QCOMPARE(form.view.resultModel()->rowCount(), 1);
    }

    void declinedQuestionRunsNothing() {
        TempDir dir;
        Form form;
        showThree(form, dir);
        form.prompt.answers.push_back(QXAnswer::No);
        QVERIFY(!form.view.RunDelete(1));
        QVERIFY(test::pathExists(dir / "src/a.txt"));
        QCOMPARE(form.view.resultModel()->rowCount(), 3);
    }

private:
    std::unique_ptr<QXAppSettings> m_saved;
};

QX_UI_TEST(ActionsTest);

#include "actions_test.moc"
