// The dialogs of the result list: the folder-priority list (adding through the target
// chooser and the folder tree, reordering, the Subfolder toggle, removal, the result of
// OK), the target chooser, the folder tree rooted at a target, the export settings and
// their column lists, and the import file dialog with its encoding choice.
#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "tovy/TovUtf8.h"
#include "ui/UiTest.h"
#include "view/QXColumns.h"
#include "view/ui/CDupExtFolderDlg.h"
#include "view/ui/CDupExtSelectDlg.h"
#include "view/ui/CExportCsvSettingDlg.h"
#include "view/ui/CXFileDialog.h"
#include "view/ui/QXFolderTreeDlg.h"

using namespace quenrix;

namespace {

using quenrix::test::whenModal;

using quenrix::test::control;

QString qs(const std::string& native) {
    return QString::fromStdString(native);
}

QStringList items(QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
}

// Runs `step` on the next modal window of type T (others are skipped while they last),
// from a timer; gives up after a few seconds.
template <class T>
void whenDialog(std::function<void(T*)> step, int tries = 500) {
    QTimer::singleShot(10, [step = std::move(step), tries]() mutable {
        if (tries == 0) return;
        if (auto* dlg = qobject_cast<T*>(QApplication::activeModalWidget())) return step(dlg);
        whenDialog<T>(std::move(step), tries - 1);
    });
}

using quenrix::test::refusedOk;

// The rows of the priority list as "path|yes" texts.
QStringList entries(const QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        rows << list->topLevelItem(i)->text(0) + u'|' + list->topLevelItem(i)->text(1);
    }
    return rows;
}

QString enabledButtons(const CDupExtFolderDlg& dlg) {
    QString out;
    if (dlg.upButton()->isEnabled()) out += u'U';
    if (dlg.downButton()->isEnabled()) out += u'D';
    if (dlg.removeButton()->isEnabled()) out += u'R';
    return out;
}

// Double-clicks a point of an item view as the user does: press, release, the double
// click, release.
void doubleClickAt(QAbstractItemView* view, const QRect& rect) {
    const QPoint at = rect.center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
}

// Item views lay out their items late, so the events are handled first.
void doubleClick(QTreeWidget* list, int row) {
    QCoreApplication::processEvents();
    doubleClickAt(list, list->visualItemRect(list->topLevelItem(row)));
}

void doubleClick(QListWidget* list, int row) {
    QCoreApplication::processEvents();
    doubleClickAt(list, list->visualItemRect(list->item(row)));
}

std::vector<int32_t> types(const QListWidget* list) {
    std::vector<int32_t> out;
    for (int i = 0; i < list->count(); ++i)
        out.push_back(list->item(i)->data(Qt::UserRole).toInt());
    return out;
}

std::vector<int32_t> range(int32_t from, int32_t to) {
    std::vector<int32_t> out;
    for (int32_t t = from; t < to; ++t) out.push_back(t);
    return out;
}

QStringList childNames(QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i) names << item->child(i)->text(0);
    return names;
}

}  // namespace

class ListDialogsTest : public QObject {
    Q_OBJECT
private slots:
    // Folders come in through the two seams; repeats are refused, cancelling either step
    // adds nothing, and OK gives the list in its order with the two choices.
    void folderPriorityEditing() {
        test::TempDir dir;
        const std::string t1 = dir.createDir("t1");
        const std::string t2 = dir.createDir("t2");
        const std::string odd = dir.createDir("t2/\xff\x82");
        CDupExtFolderDlg dlg({t1, t2});
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("重複拡張：優先するフォルダを指定"));
        QCOMPARE(dlg.folderList()->headerItem()->text(0), QStringLiteral("Path"));
        QCOMPARE(dlg.folderList()->headerItem()->text(1), QStringLiteral("Subfolder"));
        QCOMPARE(items(dlg.actionBox()), QStringList({QStringLiteral("優先して削除"),
                                                      QStringLiteral("優先して削除しない")}));
        QCOMPARE(items(dlg.otherwiseBox()), QStringList({QStringLiteral("古いファイルを削除"),
                                                         QStringLiteral("新しいファイルを削除")}));
        QCOMPARE(dlg.actionBox()->currentIndex(), 0);
        QCOMPARE(dlg.otherwiseBox()->currentIndex(), 0);
        QCOMPARE(enabledButtons(dlg), QString());
        // Path takes 80 % of the list's width, Subfolder the rest.
        dlg.resize(700, 400);
        QCoreApplication::processEvents();
        const int width = dlg.folderList()->viewport()->width();
        QCOMPARE(dlg.folderList()->columnWidth(0), width * 8 / 10);
        QCOMPARE(dlg.folderList()->columnWidth(0) + dlg.folderList()->columnWidth(1), width);

        // Each 参照... takes the next (target, folder) answer; -1 / "" cancel.
        struct Step {
            int target;
            std::string folder;
        };
        std::vector<Step> script = {
            {0, t1 + "/a"},  {1, odd},       {-1, "never"}, {1, ""},
            {0, t1 + "/a/"}, {0, t1 + "/b"}, {1, t2},
        };
        size_t next = 0;
        std::vector<std::string> roots;
        dlg.setTargetChooser([&](QWidget*, const std::vector<std::string>& targets) {
            if (targets != std::vector<std::string>{t1, t2}) qFatal("wrong targets");
            return script[next].target;
        });
        dlg.setFolderBrowser([&](QWidget*, const std::string& root) {
            roots.push_back(root);
            return script[next].folder;
        });
        for (next = 0; next < script.size(); ++next) dlg.browseButton()->click();
        QCOMPARE(roots, std::vector<std::string>({t1, t2, t2, t1, t1, t2}));
        const QString oddShown = qs(t2) + QStringLiteral("/\uFFFD\uFFFD");
        QCOMPARE(entries(dlg.folderList()), QStringList({qs(t1) + "/a|no", oddShown + "|no",
                                                         qs(t1) + "/b|no", qs(t2) + "|no"}));
        // The latest addition is selected.
        QCOMPARE(dlg.folderList()->currentItem(), dlg.folderList()->topLevelItem(3));
        QCOMPARE(enabledButtons(dlg), QStringLiteral("UR"));

        // Up and down move the selected entry, which stays selected; the ends refuse.
        dlg.upButton()->click();
        dlg.upButton()->click();
        dlg.upButton()->click();
        QCOMPARE(enabledButtons(dlg), QStringLiteral("DR"));
        dlg.upButton()->click();
        dlg.downButton()->click();
        QCOMPARE(entries(dlg.folderList()), QStringList({qs(t1) + "/a|no", qs(t2) + "|no",
                                                         oddShown + "|no", qs(t1) + "/b|no"}));
        QCOMPARE(dlg.folderList()->currentItem(), dlg.folderList()->topLevelItem(1));
        QCOMPARE(enabledButtons(dlg), QStringLiteral("UDR"));

        // A double click toggles Subfolder, twice back again.
        doubleClick(dlg.folderList(), 1);
        doubleClick(dlg.folderList(), 2);
        doubleClick(dlg.folderList(), 0);
        doubleClick(dlg.folderList(), 0);
        QCOMPARE(entries(dlg.folderList()), QStringList({qs(t1) + "/a|no", qs(t2) + "|yes",
                                                         oddShown + "|yes", qs(t1) + "/b|no"}));

        // 削除 removes the selected entry and selects the one that took its place.
        dlg.folderList()->setCurrentItem(dlg.folderList()->topLevelItem(3));
        dlg.removeButton()->click();
        QCOMPARE(dlg.folderList()->topLevelItemCount(), 3);
        QCOMPARE(dlg.folderList()->currentItem(), dlg.folderList()->topLevelItem(2));
        QCOMPARE(enabledButtons(dlg), QStringLiteral("UR"));

        dlg.actionBox()->setCurrentIndex(1);
        dlg.otherwiseBox()->setCurrentIndex(1);
        control<QPushButton>(&dlg, 1)->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const QXFolderPriority& priority = dlg.priority();
        QCOMPARE(priority.folders.size(), size_t(3));
        QCOMPARE(tovy::toUtf8(priority.folders[0].path), t1 + "/a");
        QCOMPARE(tovy::toUtf8(priority.folders[1].path), t2);
        QCOMPARE(tovy::toUtf8(priority.folders[2].path), odd);
        QCOMPARE(priority.folders[0].subfolders, false);
        QCOMPARE(priority.folders[1].subfolders, true);
        QCOMPARE(priority.folders[2].subfolders, true);
        QCOMPARE(priority.action, 1);
        QCOMPARE(priority.otherwise, 1);
    }

    void folderPriorityEmptyOk() {
        CDupExtFolderDlg dlg({"/tmp"});
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(dlg.priority().folders.empty());
        QCOMPARE(dlg.priority().action, 0);
        QCOMPARE(dlg.priority().otherwise, 0);
    }

    // Without seams 参照... shows the target chooser and then the tree of that target.
    void folderPriorityThroughDialogs() {
        test::TempDir dir;
        const std::string t1 = dir.createDir("one");
        const std::string t2 = dir.createDir("two");
        const std::string sub = dir.createDir("two/sub/deeper");
        CDupExtFolderDlg dlg({t1, t2});
        dlg.show();
        QStringList offered;
        std::string treeRoot;
        bool picked = false;
        whenDialog<CDupExtSelectDlg>([&](CDupExtSelectDlg* select) {
            for (int i = 0; i < select->targetList()->count(); ++i) {
                offered << select->targetList()->item(i)->text();
            }
            select->targetList()->setCurrentRow(1);
            whenDialog<QXFolderTreeDlg>([&](QXFolderTreeDlg* tree) {
                treeRoot = tree->selectedFolder();
                picked = tree->selectFolder(sub);
                tree->okButton()->click();
            });
            control<QPushButton>(select, 1)->click();
        });
        dlg.browseButton()->click();
        QCOMPARE(offered, QStringList({qs(t1), qs(t2)}));
        QCOMPARE(treeRoot, t2);
        QVERIFY(picked);
        QCOMPARE(entries(dlg.folderList()), QStringList({qs(sub) + "|no"}));

        // Cancelling the chooser ends the command.
        whenDialog<CDupExtSelectDlg>([](CDupExtSelectDlg* select) { select->reject(); });
        dlg.browseButton()->click();
        QCOMPARE(dlg.folderList()->topLevelItemCount(), 1);
    }

    // OK without a choice says so and stays open; with one it gives the row.
    void targetChooser() {
        CDupExtSelectDlg dlg({"/srv/a", "/srv/b", "/srv/c"});
        QCOMPARE(dlg.windowTitle(), QStringLiteral("フォルダを選択してください"));
        QCOMPARE(dlg.targetList()->count(), 3);
        QCOMPARE(dlg.targetList()->item(2)->text(), QStringLiteral("/srv/c"));
        dlg.show();
        QCOMPARE(refusedOk(&dlg), QStringLiteral("Information|フォルダを選択してください|%1")
                                      .arg(int(QMessageBox::Information)));
        QCOMPARE(dlg.selectedIndex(), -1);
        dlg.targetList()->setCurrentRow(2);
        control<QPushButton>(&dlg, 1)->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.selectedIndex(), 2);
    }

    // The tree starts on its root, lists only real folders (no links, no files) by their
    // bytes, and gives back the chosen folder exactly.
    void folderTree() {
        test::TempDir dir;
        const std::string root = dir.createDir("root");
        dir.createDir("root/b/inner");
        dir.createDir("root/A");
        dir.createDir("root/.hidden");
        const std::string odd = dir.createDir("root/b/\xfe");
        dir.createFile("root/file.txt", "x");
        QCOMPARE(::symlink((root + "/A").c_str(), (root + "/link").c_str()), 0);

        QXFolderTreeDlg dlg(root + "/");
        QCOMPARE(dlg.windowTitle(), QStringLiteral("フォルダを選択してください"));
        QCOMPARE(dlg.root(), root);
        QCOMPARE(dlg.tree()->topLevelItemCount(), 1);
        QTreeWidgetItem* top = dlg.tree()->topLevelItem(0);
        QCOMPARE(top->text(0), qs(root));
        QVERIFY(top->isExpanded());
        QCOMPARE(dlg.selectedFolder(), root);
        QCOMPARE(childNames(top), QStringList({QStringLiteral(".hidden"), QStringLiteral("A"),
                                               QStringLiteral("b")}));

        top->child(2)->setExpanded(true);
        QCOMPARE(childNames(top->child(2)),
                 QStringList({QStringLiteral("inner"), QStringLiteral("\uFFFD")}));
        QVERIFY(dlg.selectFolder(odd));
        QCOMPARE(dlg.selectedFolder(), odd);
        QVERIFY(!dlg.selectFolder(dir.path()));
        QVERIFY(!dlg.selectFolder(root + "/link"));
        QVERIFY(!dlg.selectFolder(root + "/missing"));
        QCOMPARE(dlg.selectedFolder(), odd);
        dlg.tree()->clearSelection();
        QCOMPARE(dlg.selectedFolder(), std::string());

        // A root that is no folder shows the whole file system.
        QXFolderTreeDlg fallback(dir / "root/file.txt");
        QCOMPARE(fallback.root(), std::string("/"));
    }

    void folderTreeBrowse() {
        test::TempDir dir;
        const std::string root = dir.createDir("r");
        const std::string sub = dir.createDir("r/x/y");
        whenDialog<QXFolderTreeDlg>([&](QXFolderTreeDlg* tree) {
            tree->selectFolder(sub);
            tree->okButton()->click();
        });
        QCOMPARE(QXFolderTreeDlg::browse(nullptr, root), sub);
        whenDialog<QXFolderTreeDlg>([](QXFolderTreeDlg* tree) { tree->reject(); });
        QCOMPARE(QXFolderTreeDlg::browse(nullptr, root), std::string());
        whenDialog<QXFolderTreeDlg>([](QXFolderTreeDlg* tree) { tree->okButton()->click(); });
        QCOMPARE(QXFolderTreeDlg::browse(nullptr, root), root);
    }

    void exportDefaults() {
        CExportCsvSettingDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("エクスポート"));
        const struct {
            int id;
            const char16_t* text;
        } labels[] = {{1076, u"削除対象"},
                      {1077, u"削除対象以外"},
                      {1075, u"全部"},
                      {1085, u"カンマ"},
                      {1084, u"タブ"},
                      {1119, u"SJIS"},
                      {1120, u"UTF-8"},
                      {1086, u"ダブルクォーテーションで囲む"},
                      {1087, u"ファイルサイズは自動で単位変換する"},
                      {1080, u"追加 →"},
                      {1081, u"← 削除"},
                      {1082, u"すべて追加"},
                      {1083, u"すべて削除"}};
        for (const auto& label : labels) {
            QCOMPARE(control<QAbstractButton>(&dlg, label.id)->text(),
                     QString::fromUtf16(label.text));
        }
        const QXCsvExportSettings s = dlg.settings();
        QCOMPARE(s.rows, 0);
        QCOMPARE(s.separator, 0);
        QCOMPARE(int(s.encoding), int(QXCsvEncoding::kUtf8));
        QVERIFY(s.quote);
        QVERIFY(!s.sizeWithUnit);
        QCOMPARE(s.columns, range(0, kAllColumnTypes));
        QCOMPARE(dlg.outputList()->count(), int(kAllColumnTypes));
        QCOMPARE(dlg.outputList()->item(1)->text(),
                 QString::fromStdWString(std::wstring(columnHeader(1))));
        QCOMPARE(dlg.unusedList()->count(), 0);
        QVERIFY(!dlg.addButton()->isEnabled());
        QVERIFY(!dlg.addAllButton()->isEnabled());
        QVERIFY(dlg.removeAllButton()->isEnabled());

        // Each radio group gives its id as the value; the boxes their state.
        control<QAbstractButton>(&dlg, 1077)->click();
        control<QAbstractButton>(&dlg, 1084)->click();
        control<QAbstractButton>(&dlg, 1119)->click();
        dlg.quoteBox()->click();
        dlg.unitBox()->click();
        QXCsvExportSettings changed = dlg.settings();
        QCOMPARE(changed.rows, 1);
        QCOMPARE(changed.separator, 1);
        QCOMPARE(int(changed.encoding), int(QXCsvEncoding::kSjis));
        QVERIFY(!changed.quote);
        QVERIFY(changed.sizeWithUnit);
        control<QAbstractButton>(&dlg, 1075)->click();
        QCOMPARE(dlg.settings().rows, 2);
    }

    // The column lists: moving one entry either way keeps the selection's position, the
    // unused list stays in type order, the output list in the order of adding.
    void exportColumns() {
        CExportCsvSettingDlg dlg;
        dlg.show();
        QListWidget* out = dlg.outputList();
        QListWidget* unused = dlg.unusedList();
        dlg.removeAllButton()->click();
        QVERIFY(dlg.settings().columns.empty());
        QCOMPARE(types(unused), range(0, kAllColumnTypes));
        QVERIFY(!dlg.removeAllButton()->isEnabled());
        QVERIFY(!dlg.addButton()->isEnabled());

        unused->setCurrentRow(5);
        QVERIFY(dlg.addButton()->isEnabled());
        dlg.addButton()->click();
        QCOMPARE(unused->currentRow(), 5);
        QCOMPARE(unused->currentItem()->data(Qt::UserRole).toInt(), 6);
        dlg.addButton()->click();
        unused->setCurrentRow(0);
        dlg.addButton()->click();
        QCOMPARE(dlg.settings().columns, std::vector<int32_t>({5, 6, 0}));

        out->setCurrentRow(0);
        QVERIFY(dlg.removeButton()->isEnabled());
        dlg.removeButton()->click();
        QCOMPARE(dlg.settings().columns, std::vector<int32_t>({6, 0}));
        QCOMPARE(out->currentRow(), 0);
        QCOMPARE(types(unused)[4], 5);
        QCOMPARE(unused->count(), int(kAllColumnTypes) - 2);

        // A double click moves an entry like the button of its list.
        doubleClick(unused, 0);
        QCOMPARE(dlg.settings().columns, std::vector<int32_t>({6, 0, 1}));
        doubleClick(out, 0);
        QCOMPARE(dlg.settings().columns, std::vector<int32_t>({0, 1}));
        QCOMPARE(types(unused)[4], 6);

        dlg.addAllButton()->click();
        std::vector<int32_t> expected = {0, 1};
        for (int32_t t = 2; t < kAllColumnTypes; ++t) expected.push_back(t);
        QCOMPARE(dlg.settings().columns, expected);
        QCOMPARE(unused->count(), 0);
        QVERIFY(!dlg.addAllButton()->isEnabled());

        // A removal from the end selects the new last entry.
        out->setCurrentRow(out->count() - 1);
        dlg.removeButton()->click();
        QCOMPARE(out->currentRow(), int(kAllColumnTypes) - 2);
        QCOMPARE(types(unused), std::vector<int32_t>({kAllColumnTypes - 1}));
    }

    // The encoding chosen in one import is where the next starts; cancel gives nothing.
    void importDialog() {
        test::TempDir dir;
        const std::string file = dir.createFile("list.csv", "FileName,\r\n");
        // The session starts with SJIS; another test may have chosen already.
        const int before = int(CXFileDialog::lastEncoding());
        const int other = 1 - before;
        QString title, label;
        QStringList filters, encodings;
        int startedWith = -1;
        whenDialog<QFileDialog>([&](QFileDialog* chooser) {
            title = chooser->windowTitle();
            filters = chooser->nameFilters();
            auto* combo = control<QComboBox>(chooser, 1120);
            encodings = items(combo);
            startedWith = combo->currentIndex();
            for (QLabel* l : chooser->findChildren<QLabel*>()) {
                if (l->buddy() == combo) label = l->text();
            }
            combo->setCurrentIndex(other);
            chooser->selectFile(qs(file));
            static_cast<QDialog*>(chooser)->accept();
        });
        std::string path;
        QXCsvEncoding encoding = QXCsvEncoding::kSjis;
        QVERIFY(CXFileDialog::getOpenFileName(nullptr, path, encoding));
        QCOMPARE(title, QStringLiteral("インポート"));
        QCOMPARE(filters, QStringList({QStringLiteral("csv(*.csv)"), QStringLiteral("all(*.*)")}));
        QCOMPARE(encodings, QStringList({QStringLiteral("SJIS"), QStringLiteral("UTF-8")}));
        QCOMPARE(label, QStringLiteral("文字エンコーディング :"));
        QCOMPARE(startedWith, before);
        QCOMPARE(path, file);
        QCOMPARE(int(encoding), other);
        QCOMPARE(int(CXFileDialog::lastEncoding()), other);

        whenDialog<QFileDialog>([&](QFileDialog* chooser) {
            startedWith = control<QComboBox>(chooser, 1120)->currentIndex();
            chooser->reject();
        });
        path = "kept";
        QVERIFY(!CXFileDialog::getOpenFileName(nullptr, path, encoding));
        QCOMPARE(startedWith, other);
        QCOMPARE(path, std::string("kept"));

        // A name that is not UTF-8 comes back as its own bytes.
        const std::string odd = dir.createFile("\xff\x81.csv", "FileName,\r\n");
        whenDialog<QFileDialog>([&](QFileDialog* chooser) {
            // A refusal would show a box of its own: close it, then the dialog.
            auto armed = std::make_shared<bool>(true);
            whenModal([](QWidget* box) { box->close(); }, chooser, armed);
            chooser->selectFile(QFile::decodeName(QByteArray::fromStdString(odd)));
            static_cast<QDialog*>(chooser)->accept();
            *armed = false;
            if (chooser->isVisible()) chooser->reject();
        });
        QVERIFY(CXFileDialog::getOpenFileName(nullptr, path, encoding));
        QCOMPARE(path, odd);
    }
};

QX_UI_TEST(ListDialogsTest);

#include "list_dialogs_test.moc"
