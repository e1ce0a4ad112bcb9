// The result list in the main window after a real duplicate search: header sorts keep
// the groups together, the リスト menu's check commands, clicks on the check area, the
// right-click menu and the clipboard, the column editor and header drags, and a CSV
// export read back by the import in both encodings.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <cwctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/CMainFrame.h"
#include "core/QXTarget.h"
#include "doc/QXAppSettings.h"
#include "rule/QXCheckDuplicateRule.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"
#include "ui/UiTest.h"
#include "view/QXColumns.h"
#include "view/ui/CDupExtFolderDlg.h"
#include "view/ui/CExportCsvSettingDlg.h"
#include "view/ui/CQuenrixView.h"
#include "view/ui/QXEditColumnDlg.h"
#include "view/ui/QXFileListCtrl.h"
#include "view/ui/QXResultListModel.h"

using quenrix::CMainFrame;
using quenrix::CQuenrixView;
using quenrix::QXFileInfo;
using quenrix::QXFileListCtrl;
using quenrix::QXResultListModel;
using quenrix::test::whenModal;
using quenrix::test::whenPopup;

namespace {

// The settings the tests change (layout, widths) come back afterwards, so the other
// window tests see the defaults.
struct SettingsGuard {
    quenrix::QXGeneralSettings saved = quenrix::QXAppSettings::instance().general();
    ~SettingsGuard() { quenrix::QXAppSettings::instance().general() = saved; }
};

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text) c = wchar_t(std::towlower(c));
    return text;
}

// Catches what the list hands to the desktop to open.
class FileUrlCatcher : public QObject {
    Q_OBJECT
public:
    FileUrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~FileUrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.push_back(url); }
};

// Two duplicate groups and a file of its own, found by an MD5 duplicate search:
//   photo: a/写真1.jpg (oldest), a/写真2.jpg (newest), b/copy "q",1.jpg
//   beta:  a/beta.txt (newest), b/beta-copy.TXT (oldest)
struct DuplicateWindow {
    SettingsGuard settings;
    quenrix::test::TempDir dir;
    CMainFrame frame;
    CQuenrixView* view = frame.mainForm();
    QXResultListModel* model = view->resultModel();
    QXFileListCtrl* list = view->resultList();

    DuplicateWindow() {
        dir.createFile("t/a/写真1.jpg", "photo-bytes", 1000000000);
        dir.createFile("t/a/写真2.jpg", "photo-bytes", 1100000000);
        dir.createFile("t/b/copy \"q\",1.jpg", "photo-bytes", 1050000000);
        dir.createFile("t/a/beta.txt", "beta", 1200000000);
        dir.createFile("t/b/beta-copy.TXT", "beta", 1150000000);
        dir.createFile("t/a/single.txt", "only one", 1000000000);
        frame.resize(900, 600);
        frame.show();
        QVERIFY2(QTest::qWaitForWindowExposed(&frame), "window not shown");
        view->appendTarget(quenrix::QXTarget::fromPath(dir / "t"));
        view->findChild<QWidget*>(QStringLiteral("c1002"))->setProperty("checked", true);
        auto rule = std::make_shared<quenrix::QXCheckDuplicateRule>();
        rule->setAlgorithm(quenrix::QXCheckDuplicateRule::kMd5);
        view->appendRule(rule);
        view->onSearch();
    }

    const QXFileInfo& at(int row) const { return *model->record(row); }
    int rowOf(const std::string& rel) const {
        for (int row = 0; row < model->rowCount(); ++row) {
            if (at(row).nativePath() == dir / ("t/" + rel)) return row;
        }
        return -1;
    }
    bool ticked(const std::string& rel) const {
        const int row = rowOf(rel);
        return row >= 0 && at(row).hasFlag(QXFileInfo::kCheck);
    }
    std::vector<std::string> tickedFiles() const {
        std::vector<std::string> names;
        for (int row = 0; row < model->rowCount(); ++row) {
            if (at(row).hasFlag(QXFileInfo::kCheck)) {
                names.push_back(at(row).nativePath().substr(dir.path().size() + 3));
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    void select(const std::vector<std::string>& rels) {
        list->clearSelection();
        for (const auto& rel : rels) {
            list->selectionModel()->select(model->index(rowOf(rel), 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    // Chooses the item of the リスト menu with this text; false when it is missing or
    // disabled.
    bool listCommand(const QString& text) {
        auto found = std::make_shared<bool>(false);
        whenPopup([text, found](QMenu* menu) {
            for (QAction* action : menu->actions()) {
                if (action->text() != text || !action->isEnabled()) continue;
                *found = true;
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
            menu->close();
        });
        QTest::mouseClick(view->findChild<QPushButton*>(QStringLiteral("c1007")), Qt::LeftButton);
        return *found;
    }

    // The texts of the right-click menu over the selected rows; chooses `choose` when
    // given, else closes the menu.
    QStringList contextMenu(const QString& choose = {}) {
        QStringList texts;
        whenPopup([&texts, choose](QMenu* menu) {
            QAction* chosen = nullptr;
            for (QAction* action : menu->actions()) {
                if (action->isSeparator()) continue;
                texts.push_back(action->text());
                if (action->text() == choose) chosen = action;
            }
            if (!chosen) {
                menu->close();
                return;
            }
            menu->setActiveAction(chosen);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        const QRect cell = list->visualRect(list->selectionModel()->selectedRows().front());
        QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(),
                                list->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(list->viewport(), &event);
        return texts;
    }

    void clickHeader(int section) {
        QHeaderView* header = list->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(section) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
};

// The rows hold their groups together in ascending group order, and inside each group
// follow `before` (a strict "a belongs before b" test fails nowhere).
template <class Before>
bool groupedAndOrdered(const QXResultListModel& model, Before before) {
    for (int row = 1; row < model.rowCount(); ++row) {
        const QXFileInfo& a = *model.record(row - 1);
        const QXFileInfo& b = *model.record(row);
        if (a.groupNumber > b.groupNumber) return false;
        if (a.groupNumber == b.groupNumber && before(b, a)) return false;
    }
    return true;
}

}  // namespace

class ResultListTest : public QObject {
    Q_OBJECT
private slots:
    void duplicateSearchTicksAllButTheNewest() {
        DuplicateWindow w;
        QCOMPARE(w.model->rowCount(), 5);
        QVERIFY(w.view->duplicateSearch());
        QCOMPARE(w.tickedFiles(), (std::vector<std::string>{"a/写真1.jpg", "b/beta-copy.TXT",
                                                            "b/copy \"q\",1.jpg"}));
        QCOMPARE(w.view->statusText(), QStringLiteral("総数: 6  一致: 5  選択: 3"));
        QCOMPARE(w.frame.resultPane()->text(), w.view->statusText());
        // The default layout, with the file-type icon beside the first column's check box.
        QCOMPARE(w.model->layout(), (quenrix::QXColumnLayout{0, 1, 2, 4, 6, 41}));
        QCOMPARE(w.model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("最終更新時間"));
        const int photo = w.rowOf("a/写真1.jpg");
        QVERIFY(
            !w.model->data(w.model->index(photo, 0), Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(w.at(photo).hasFlag(QXFileInfo::kIconKnown));
        QVERIFY(!w.model->data(w.model->index(photo, 5)).toString().isEmpty());  // Hash

        // Each duplicate group has its colour, the next group the other one.
        auto colour = [&w](const char* rel) {
            const QModelIndex cell = w.model->index(w.rowOf(rel), 1);
            return w.model->data(cell, Qt::BackgroundRole).value<QBrush>().color();
        };
        QCOMPARE(colour("a/写真1.jpg"), colour("b/copy \"q\",1.jpg"));
        const int32_t apart =
            w.at(w.rowOf("a/写真1.jpg")).groupNumber - w.at(w.rowOf("a/beta.txt")).groupNumber;
        QCOMPARE(colour("a/写真1.jpg") == colour("a/beta.txt"), apart % 2 == 0);

        // The total size joins the status line when the setting asks for it.
        quenrix::QXAppSettings::instance().showTotalFileSize = 1;
        w.list->setFocus();
        QVERIFY(w.listCommand(QStringLiteral("全てチェックする")));
        QCOMPARE(w.view->statusText(),
                 QStringLiteral("総数: 6  一致: 5  選択: 5  総ｻｲｽﾞ: %1").arg(3 * 11 + 2 * 4));
    }

    // Two clicks on a header: descending then ascending inside each group, the groups
    // together and in ascending order both times; the arrow follows.
    void headerSortsKeepGroupsTogether() {
        DuplicateWindow w;
        auto name = [](const QXFileInfo& a, const QXFileInfo& b) {
            return lower(a.fileName()) < lower(b.fileName());
        };
        auto time = [](const QXFileInfo& a, const QXFileInfo& b) {
            return a.stat().writeNs < b.stat().writeNs;
        };
        QHeaderView* header = w.list->horizontalHeader();

        // Section 0 is the sorted one from the start, so its first click flips it.
        w.clickHeader(0);
        QVERIFY(!w.view->sortAscending());
        QVERIFY(groupedAndOrdered(*w.model, [&](auto& a, auto& b) { return name(b, a); }));
        QCOMPARE(header->sortIndicatorSection(), 0);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        w.clickHeader(0);
        QVERIFY(w.view->sortAscending());
        QVERIFY(groupedAndOrdered(*w.model, name));
        QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);

        // Another column starts ascending; its second click reverses every group.
        w.clickHeader(3);
        QCOMPARE(w.view->sortSection(), 3);
        QVERIFY(groupedAndOrdered(*w.model, time));
        w.clickHeader(3);
        QVERIFY(groupedAndOrdered(*w.model, [&](auto& a, auto& b) { return time(b, a); }));
        QCOMPARE(header->sortIndicatorSection(), 3);
        QCOMPARE(header->sortIndicatorOrder(), Qt::DescendingOrder);
        // The ticks belong to the records, not to the rows.
        QCOMPARE(w.tickedFiles().size(), size_t(3));
        QVERIFY(w.ticked("a/写真1.jpg"));
    }

    void listMenuCheckCommands() {
        DuplicateWindow w;
        QVERIFY(w.listCommand(QStringLiteral("全てチェックをはずす")));
        QCOMPARE(w.view->statusText(), QStringLiteral("総数: 6  一致: 5  選択: 0"));
        QVERIFY(w.listCommand(QStringLiteral("重複：最も古いファイルを残す")));
        QCOMPARE(w.tickedFiles(),
                 (std::vector<std::string>{"a/beta.txt", "a/写真2.jpg", "b/copy \"q\",1.jpg"}));
        QVERIFY(w.listCommand(QStringLiteral("重複：最も新しいファイルを残す")));
        QCOMPARE(w.tickedFiles(), (std::vector<std::string>{"a/写真1.jpg", "b/beta-copy.TXT",
                                                            "b/copy \"q\",1.jpg"}));
        QCOMPARE(w.view->statusText(), QStringLiteral("総数: 6  一致: 5  選択: 3"));

        w.select({"a/beta.txt", "a/写真1.jpg"});
        QVERIFY(w.listCommand(QStringLiteral("選択されたファイルをチェックする")));
        QVERIFY(w.ticked("a/beta.txt"));
        QVERIFY(w.listCommand(QStringLiteral("選択されたファイルのチェックをはずす")));
        QVERIFY(!w.ticked("a/beta.txt") && !w.ticked("a/写真1.jpg"));
        QVERIFY(w.ticked("b/beta-copy.TXT"));

        // One entry per extension whatever its case; both submenus list them.
        QCOMPARE(w.view->extensions(), (std::vector<std::wstring>{L"jpg", L"txt"}));
        QStringList submenus;
        whenPopup([&submenus](QMenu* menu) {
            for (QAction* action : menu->actions()) {
                if (!action->menu()) continue;
                QStringList items;
                for (QAction* item : action->menu()->actions()) items.push_back(item->text());
                submenus.push_back(action->text() + ":" + items.join(','));
            }
            menu->close();
        });
        QTest::mouseClick(w.view->findChild<QPushButton*>(QStringLiteral("c1007")), Qt::LeftButton);
        QCOMPARE(submenus, (QStringList{QStringLiteral("拡張子でチェックする:jpg,txt"),
                                        QStringLiteral("拡張子でチェックをはずす:jpg,txt")}));
        w.view->runCheckCommand(10 + 1);  // tick by "txt"
        QVERIFY(w.ticked("a/beta.txt") && w.ticked("b/beta-copy.TXT"));
        w.view->runCheckCommand(10 + 2 + 0);  // untick by "jpg"
        QCOMPARE(w.tickedFiles(), (std::vector<std::string>{"a/beta.txt", "b/beta-copy.TXT"}));
        QCOMPARE(w.view->statusText(), QStringLiteral("総数: 6  一致: 5  選択: 2"));
    }

    // Folder priority through its dialog: the file in the chosen folder is the one
    // ticked, the rest of the group decided by date.
    void folderPriorityFromTheMenu() {
        DuplicateWindow w;
        whenModal([&w](QWidget* modal) {
            auto* dlg = qobject_cast<quenrix::CDupExtFolderDlg*>(modal);
            if (!dlg) {
                modal->close();
                return;
            }
            dlg->setTargetChooser([](QWidget*, const std::vector<std::string>&) { return 0; });
            dlg->setFolderBrowser([&w](QWidget*, const std::string&) { return w.dir / "t/b"; });
            dlg->browseButton()->click();
            dlg->accept();
        });
        QVERIFY(w.listCommand(QStringLiteral("重複拡張：優先するフォルダを指定...")));
        QVERIFY(w.ticked("b/copy \"q\",1.jpg"));
        QVERIFY(w.ticked("b/beta-copy.TXT"));
        QVERIFY(!w.ticked("a/beta.txt"));
        // The photo group has one more file than the folder holds: the older of the two
        // left is ticked as well.
        QVERIFY(w.ticked("a/写真1.jpg"));
        QVERIFY(!w.ticked("a/写真2.jpg"));
    }

    void checkAreaClicksAndDoubleClicks() {
        DuplicateWindow w;
        QVERIFY(QTest::qWaitForWindowExposed(&w.frame));
        const int row = w.rowOf("a/写真1.jpg");
        w.list->scrollTo(w.model->index(row, 0));
        const QRect area = w.list->checkArea(row);
        QVERIFY(area.width() > 0);
        QTest::mouseClick(w.list->viewport(), Qt::LeftButton, {}, area.center());
        QVERIFY(!w.ticked("a/写真1.jpg"));
        QCOMPARE(w.view->statusText(), QStringLiteral("総数: 6  一致: 5  選択: 2"));

        // The label only selects; a double click there opens the file.
        const QRect cell = w.list->visualRect(w.model->index(row, 0));
        const QPoint label(area.right() + 10, cell.center().y());
        QTest::mouseClick(w.list->viewport(), Qt::LeftButton, {}, label);
        QVERIFY(!w.ticked("a/写真1.jpg"));
        QCOMPARE(w.list->selectedRows(), std::vector<size_t>{size_t(row)});
        FileUrlCatcher opened;
        QTest::mouseDClick(w.list->viewport(), Qt::LeftButton, {}, label);
        QCOMPARE(opened.urls.size(), 1);
        QCOMPARE(opened.urls.front().toEncoded(),
                 QByteArray("file://") +
                     QByteArray::fromStdString(w.dir / "t/a/写真1.jpg").toPercentEncoding("/"));
        QVERIFY(!w.ticked("a/写真1.jpg"));
        // A double click on the check area flips the tick once and opens nothing.
        QTest::mouseDClick(w.list->viewport(), Qt::LeftButton, {}, area.center());
        QTest::mouseClick(w.list->viewport(), Qt::LeftButton, {}, area.center());
        QVERIFY(!w.ticked("a/写真1.jpg"));
        QCOMPARE(opened.urls.size(), 1);
    }

    void contextMenuAndClipboard() {
        DuplicateWindow w;
        w.select({"a/写真1.jpg", "a/beta.txt"});
        QCOMPARE(w.contextMenu(QStringLiteral("コピー")),
                 (QStringList{QStringLiteral("開く"), QStringLiteral("フォルダを開く"),
                              QStringLiteral("コピー")}));
        const QMimeData* copied = QApplication::clipboard()->mimeData();
        QVERIFY(copied && copied->hasFormat(QStringLiteral("text/uri-list")));
        QList<QUrl> urls = copied->urls();
        QCOMPARE(urls.size(), 2);
        QStringList files{urls[0].toLocalFile(), urls[1].toLocalFile()};
        files.sort();
        QCOMPARE(files, (QStringList{QString::fromStdString(w.dir / "t/a/beta.txt"),
                                     QString::fromStdString(w.dir / "t/a/写真1.jpg")}));

        FileUrlCatcher opened;
        QCOMPARE(w.contextMenu(QStringLiteral("フォルダを開く")).size(), 3);
        QCOMPARE(opened.urls.size(), 1);
        QCOMPARE(opened.urls.front().toLocalFile(), QString::fromStdString(w.dir / "t/a"));

        // Files of two folders: copying is all there is.
        w.select({"a/写真1.jpg", "b/copy \"q\",1.jpg"});
        QCOMPARE(w.contextMenu(), QStringList{QStringLiteral("コピー")});

        // A drag carries the same file list.
        std::unique_ptr<QMimeData> drag(
            QXFileListCtrl::fileListData({w.dir / "t/b/copy \"q\",1.jpg"}));
        QCOMPARE(drag->urls().front().toLocalFile(),
                 QString::fromStdString(w.dir / "t/b/copy \"q\",1.jpg"));
    }

    void columnEditorAndHeaderDrag() {
        DuplicateWindow w;
        quenrix::QXAppSettings& settings = quenrix::QXAppSettings::instance();
        QHeaderView* header = w.list->horizontalHeader();

        // Dragging ファイルサイズ to the front stores the order and rebuilds in it.
        w.list->setColumnWidth(2, 77);
        header->moveSection(2, 0);
        QTRY_COMPARE(w.model->layout().front(), int32_t(quenrix::kColFileSize));
        QCOMPARE(settings.columns,
                 std::wstring(L"FileSize,FileName,Path,Last updated time,Image size,Hash"));
        QCOMPARE(header->logicalIndex(0), 0);
        QCOMPARE(w.list->columnWidth(0), 77);
        QVERIFY(settings.columnWidth.find(L"FileSize,77,") != std::wstring::npos);

        // The editor: everything unticked but Md5 leaves the name column and Md5.
        whenModal([](QWidget* modal) {
            auto* dlg = qobject_cast<quenrix::QXEditColumnDlg*>(modal);
            if (!dlg) {
                modal->close();
                return;
            }
            QCOMPARE(dlg->windowTitle(), QStringLiteral("カラム編集"));
            QListWidget* rows = dlg->columnList();
            QCOMPARE(rows->count(), 45);
            QCOMPARE(rows->item(1)->checkState(), Qt::Checked);  // ファイルサイズ
            rows->selectAll();
            dlg->uncheckButton()->click();
            rows->clearSelection();
            rows->item(quenrix::kColMd5 - 1)->setSelected(true);
            dlg->checkButton()->click();
            dlg->accept();
        });
        whenPopup([](QMenu* menu) {
            QCOMPARE(menu->actions().size(), 1);
            menu->setActiveAction(menu->actions().front());
            QTest::keyClick(menu, Qt::Key_Return);
        });
        emit w.list->headerMenuRequested(QPoint(10, 10));
        QCOMPARE(w.model->layout(),
                 (quenrix::QXColumnLayout{quenrix::kColFileName, quenrix::kColMd5}));
        QCOMPARE(w.model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Md5"));
        QCOMPARE(w.model->data(w.model->index(0, 1)).toString().size(), 32);
    }

    void exportThenImportReproducesTheList_data() {
        QTest::addColumn<int>("encoding");
        QTest::newRow("SJIS") << 0;
        QTest::newRow("UTF-8") << 1;
    }

    // Every row out with its ticks, groups and digests, the list emptied, the file read
    // back: the same list.
    void exportThenImportReproducesTheList() {
        QFETCH(int, encoding);
        DuplicateWindow w;
        w.view->runCheckCommand(2);  // untick all
        w.select({"b/copy \"q\",1.jpg", "a/beta.txt"});
        w.view->runCheckCommand(3);
        struct Row {
            std::string path;
            bool ticked;
            int32_t group;
            QString md5;
            bool operator==(const Row&) const = default;
        };
        auto rows = [&w] {
            std::vector<Row> out;
            for (int row = 0; row < w.model->rowCount(); ++row) {
                out.push_back({w.at(row).nativePath(), w.at(row).hasFlag(QXFileInfo::kCheck),
                               w.at(row).groupNumber,
                               QString::fromStdWString(
                                   quenrix::formatColumnText(quenrix::kColMd5, w.at(row)))});
            }
            return out;
        };
        const std::vector<Row> before = rows();
        QVERIFY(!before.front().md5.isEmpty());

        QAction* exportCommand = w.frame.findChild<QAction*>(QStringLiteral("cmd32796"));
        QAction* importCommand = w.frame.findChild<QAction*>(QStringLiteral("cmd32800"));
        QVERIFY(exportCommand->isEnabled());
        const std::string csv = w.dir / "out.csv";
        w.view->setExportFileChooser([&] { return QString::fromStdString(csv); });
        whenModal([encoding](QWidget* modal) {
            auto* dlg = qobject_cast<quenrix::CExportCsvSettingDlg*>(modal);
            if (!dlg) {
                modal->close();
                return;
            }
            dlg->rowsGroup()->button(2)->click();  // 全部
            dlg->encodingGroup()->button(encoding)->click();
            dlg->accept();
        });
        exportCommand->trigger();
        const std::string bytes = quenrix::test::readFile(csv);
        QVERIFY(bytes.starts_with("FileName,Path,"));
        QCOMPARE(bytes.find("\xE5\x86\x99") == std::string::npos, encoding == 0);  // 写 in UTF-8

        w.view->showResults({}, false, true);
        QVERIFY(!exportCommand->isEnabled());
        w.view->setImportFileChooser([&](std::string& path, quenrix::QXCsvEncoding& chosen) {
            path = csv;
            chosen = quenrix::QXCsvEncoding(encoding);
            return true;
        });
        importCommand->trigger();
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(w.view->duplicateSearch());
        QVERIFY(exportCommand->isEnabled());
        std::vector<Row> after = rows();
        QCOMPARE(after.size(), before.size());
        for (size_t i = 0; i < before.size(); ++i) {
            QCOMPARE(QString::fromStdString(after[i].path), QString::fromStdString(before[i].path));
            QCOMPARE(after[i].ticked, before[i].ticked);
            QCOMPARE(after[i].group, before[i].group);
            QCOMPARE(after[i].md5, before[i].md5);
        }
        // The enumerated count stays the search's.
        QCOMPARE(w.view->statusText(), QStringLiteral("総数: 6  一致: 5  選択: 2"));
    }

    // An empty file says so and leaves the list alone.
    void importOfAnEmptyFile() {
        DuplicateWindow w;
        const std::string empty = w.dir.createFile("empty.csv", "");
        w.view->setImportFileChooser([&](std::string& path, quenrix::QXCsvEncoding&) {
            path = empty;
            return true;
        });
        QString text;
        whenModal([&text](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal)) text = box->text();
            modal->close();
        });
        w.frame.findChild<QAction*>(QStringLiteral("cmd32800"))->trigger();
        QCOMPARE(text, QStringLiteral("ファイルが空です。"));
        QCOMPARE(w.model->rowCount(), 5);
    }
};
QX_UI_TEST(ResultListTest);

#include "result_list_test.moc"
