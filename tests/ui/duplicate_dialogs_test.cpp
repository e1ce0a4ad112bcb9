// The dialogs of the duplicate and the same-file rules: the order of their algorithm
// lists and the selection each starts with, OK writing the selections, the refusal of a
// path that does not exist, files dropped on the path box and chosen with 参照..., and
// both kinds added through the main form's 追加 menu.
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "doc/CQuenrixDoc.h"
#include "doc/QXFolderHistory.h"
#include "rule/QXCheckDuplicateRule.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXSameFileRule.h"
#include "rule/ui/CDropEdit.h"
#include "rule/ui/CRuleDuplicateDlg.h"
#include "rule/ui/CRuleListCtrl.h"
#include "rule/ui/CRuleSameFileDlg.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"
#include "ui/UiTest.h"
#include "view/ui/CQuenrixView.h"

using namespace quenrix;

namespace {

using quenrix::test::whenModal;
using quenrix::test::whenPopup;

using quenrix::test::control;

QStringList items(QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
}

QString qs(const std::string& native) {
    return QString::fromStdString(native);
}

// Drops local files, given by their native bytes, on `edit`.
void dropFiles(QWidget* edit, const std::vector<std::string>& nativePaths) {
    QList<QUrl> urls;
    for (const auto& path : nativePaths) {
        const QByteArray encoded = QByteArray::fromStdString(path).toPercentEncoding("/");
        urls << QUrl(QStringLiteral("file://") + QString::fromLatin1(encoded));
    }
    QMimeData mime;
    mime.setUrls(urls);
    const QPointF at = edit->rect().center();
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &enter);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(edit, &drop);
}

using quenrix::test::refusedOk;

const QStringList kDuplicateLabels = {QStringLiteral("完全一致"),
                                      QStringLiteral("CRC32"),
                                      QStringLiteral("MD5"),
                                      QStringLiteral("ファイル名とファイルサイズ"),
                                      QStringLiteral("ファイル名"),
                                      QStringLiteral("ファイル名（拡張子なし）"),
                                      QStringLiteral("ファイルサイズ"),
                                      QStringLiteral("SHA-1"),
                                      QStringLiteral("SHA-256"),
                                      QStringLiteral("SHA-512"),
                                      QStringLiteral("xxHash")};
// The stored algorithm of each row of the duplicate dialog's list.
const std::vector<int32_t> kDuplicateIds = {0, 1, 2, 3, 7, 8, 9, 4, 5, 6, 10};

const QStringList kSameFileLabels = {
    QStringLiteral("完全一致"),   QStringLiteral("CRC32"),
    QStringLiteral("MD5"),        QStringLiteral("ファイル名とファイルサイズ"),
    QStringLiteral("ファイル名"), QStringLiteral("ファイル名（拡張子なし）"),
    QStringLiteral("SHA-1"),      QStringLiteral("SHA-256"),
    QStringLiteral("SHA-512"),    QStringLiteral("xxHash")};
const std::vector<int32_t> kSameFileIds = {0, 1, 2, 3, 7, 8, 4, 5, 6, 9};

}  // namespace

class DuplicateDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void duplicateDialogNewRule() {
        QWidget owner;
        QXRulePtr rule = createRule(ruletype::kDuplicate);
        QVERIFY(rule);
        const QPoint cursor(70, 90);
        QCursor::setPos(cursor);
        QString caption;
        QPoint shownAt;
        QStringList algorithms, targets;
        int algorithmRow = -1, targetRow = -1;
        whenModal([&](QWidget* dlg) {
            caption = dlg->windowTitle();
            shownAt = dlg->frameGeometry().topLeft();
            auto* algorithm = control<QComboBox>(dlg, 1044);
            auto* target = control<QComboBox>(dlg, 1102);
            algorithms = items(algorithm);
            targets = items(target);
            algorithmRow = algorithm->currentIndex();
            targetRow = target->currentIndex();
            algorithm->setCurrentIndex(6);
            target->setCurrentIndex(1);
            control<QPushButton>(dlg, 1)->click();
        });
        QVERIFY(rule->edit(static_cast<QWidget*>(&owner)));
        QCOMPARE(caption, QStringLiteral("条件：重複"));
        QCOMPARE(shownAt, cursor);
        QCOMPARE(algorithms, kDuplicateLabels);
        QCOMPARE(targets,
                 QStringList({QStringLiteral("重複したもの"), QStringLiteral("重複しないもの")}));
        QCOMPARE(algorithmRow, 10);
        QCOMPARE(targetRow, 0);
        const auto& dup = dynamic_cast<const QXCheckDuplicateRule&>(*rule);
        QCOMPARE(dup.algorithm(), QXCheckDuplicateRule::kSize);
        QCOMPARE(dup.target(), QXCheckDuplicateRule::kUnique);
    }

    // Every row maps to its stored algorithm both ways; キャンセル keeps the rule.
    void duplicateDialogRows() {
        for (size_t row = 0; row < kDuplicateIds.size(); ++row) {
            QXCheckDuplicateRule rule;
            rule.setAlgorithm(kDuplicateIds[row]);
            rule.setTarget(QXCheckDuplicateRule::kUnique);
            {
                CRuleDuplicateDlg dlg(rule);
                QCOMPARE(control<QComboBox>(&dlg, 1044)->currentIndex(), int(row));
                QCOMPARE(control<QComboBox>(&dlg, 1102)->currentIndex(), 1);
                control<QComboBox>(&dlg, 1044)->setCurrentIndex(0);
                control<QComboBox>(&dlg, 1102)->setCurrentIndex(0);
                dlg.reject();
            }
            QCOMPARE(rule.algorithm(), kDuplicateIds[row]);
            QCOMPARE(rule.target(), QXCheckDuplicateRule::kUnique);

            rule.setAlgorithm(QXCheckDuplicateRule::kExact);
            CRuleDuplicateDlg dlg(rule);
            control<QComboBox>(&dlg, 1044)->setCurrentIndex(int(row));
            control<QComboBox>(&dlg, 1102)->setCurrentIndex(0);
            dlg.accept();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(rule.algorithm(), kDuplicateIds[row]);
            QCOMPARE(rule.target(), QXCheckDuplicateRule::kDuplicates);
        }
    }

    void sameFileDialogNewRule() {
        test::TempDir dir;
        const std::string reference = dir.createFile("ref.bin", "abc");
        QWidget owner;
        QXRulePtr rule = createRule(ruletype::kSameFile);
        QVERIFY(rule);
        const QPoint cursor(50, 110);
        QCursor::setPos(cursor);
        QString caption, refusedEmpty, refusedMissing;
        QPoint shownAt;
        QStringList algorithms;
        int algorithmRow = -1;
        bool hinted = false;
        whenModal([&](QWidget* dlg) {
            caption = dlg->windowTitle();
            shownAt = dlg->frameGeometry().topLeft();
            auto* algorithm = control<QComboBox>(dlg, 1104);
            algorithms = items(algorithm);
            algorithmRow = algorithm->currentIndex();
            for (QLabel* label : dlg->findChildren<QLabel*>()) {
                hinted |= label->text() == QStringLiteral("↑にドラッグ＆ドロップできます");
            }
            auto* path = control<CDropEdit>(dlg, 1105);
            QVERIFY(path->text().isEmpty());
            refusedEmpty = refusedOk(dlg);
            path->setText(qs(dir / "missing.bin"));
            refusedMissing = refusedOk(dlg);
            path->setText(qs(reference));
            algorithm->setCurrentIndex(6);
            control<QPushButton>(dlg, 1)->click();
            if (auto* open = qobject_cast<QDialog*>(dlg); open && open->isVisible()) open->reject();
        });
        QVERIFY(rule->edit(static_cast<QWidget*>(&owner)));
        QCOMPARE(caption, QStringLiteral("条件：ファイル一致"));
        QCOMPARE(shownAt, cursor);
        QCOMPARE(algorithms, kSameFileLabels);
        QCOMPARE(algorithmRow, 2);
        QVERIFY(hinted);
        const QString refusal =
            QStringLiteral("Error|パスが不正です。|%1").arg(int(QMessageBox::Critical));
        QCOMPARE(refusedEmpty, refusal);
        QCOMPARE(refusedMissing, refusal);
        const auto& same = dynamic_cast<const QXSameFileRule&>(*rule);
        QCOMPARE(same.algorithm(), QXSameFileRule::kSha1);
        QCOMPARE(same.path(), tovy::fromUtf8(reference));
    }

    // An existing rule shows its algorithm and path; every row maps to its stored id.
    void sameFileDialogRows() {
        test::TempDir dir;
        const std::wstring reference = tovy::fromUtf8(dir.createFile("ref.bin", "abc"));
        for (size_t row = 0; row < kSameFileIds.size(); ++row) {
            QXSameFileRule rule;
            rule.setAlgorithm(kSameFileIds[row]);
            rule.setPath(reference);
            {
                CRuleSameFileDlg dlg(rule);
                QCOMPARE(control<QComboBox>(&dlg, 1104)->currentIndex(), int(row));
                QCOMPARE(control<QLineEdit>(&dlg, 1105)->text(),
                         QString::fromStdWString(reference));
            }
            rule.setAlgorithm(QXSameFileRule::kExact);
            CRuleSameFileDlg dlg(rule);
            control<QComboBox>(&dlg, 1104)->setCurrentIndex(int(row));
            dlg.accept();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(rule.algorithm(), kSameFileIds[row]);
            QCOMPARE(rule.path(), reference);
        }
    }

    // A name whose bytes are not UTF-8 survives showing, confirming and dropping.
    void sameFileKeepsNonUtf8Path() {
        test::TempDir dir;
        const std::string native = dir.createFile("\xff\x82\xa0.bin", "x");
        const std::wstring wide = tovy::fromUtf8(native);
        QXSameFileRule rule;
        rule.setPath(wide);
        {
            CRuleSameFileDlg dlg(rule);
            dlg.accept();
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
            QCOMPARE(rule.path(), wide);
        }
        CDropEdit edit;
        dropFiles(&edit, {native});
        QCOMPARE(edit.path(), wide);
        QCOMPARE(edit.nativePath(), native);
    }

    void dropTakesFirstExistingFile() {
        test::TempDir dir;
        const std::string folder = dir.createDir("folder");
        const std::string first = dir.createFile("first.txt", "1");
        const std::string second = dir.createFile("second.txt", "2");
        const std::string missing = dir / "missing.txt";

        CDropEdit edit;
        edit.setText(QStringLiteral("before"));
        dropFiles(&edit, {missing, folder});
        QCOMPARE(edit.text(), QStringLiteral("before"));
        dropFiles(&edit, {missing, folder, first, second});
        QCOMPARE(edit.text(), qs(first));
        dropFiles(&edit, {second});
        QCOMPARE(edit.nativePath(), second);
    }

    // 参照... starts in the folder of the current path, takes the chosen file, and when
    // cancelled keeps only a path that exists.
    void browseChoosesFile() {
        test::TempDir dir;
        const std::string start = dir.createFile("start/ref.bin", "a");
        const std::string chosen = dir.createFile("other/pick.bin", "b");
        QXSameFileRule rule;
        rule.setPath(tovy::fromUtf8(start));
        CRuleSameFileDlg dlg(rule);
        auto* path = control<CDropEdit>(&dlg, 1105);

        QString startedIn;
        whenModal([&](QWidget* w) {
            auto* chooser = qobject_cast<QFileDialog*>(w);
            if (!chooser) {
                w->close();
                return;
            }
            startedIn = chooser->directory().absolutePath();
            chooser->selectFile(qs(chosen));
            static_cast<QDialog*>(chooser)->accept();
        });
        control<QPushButton>(&dlg, 1103)->click();
        QCOMPARE(startedIn, qs(dir / "start"));
        QCOMPARE(path->nativePath(), chosen);

        const auto cancel = [](QWidget* w) { w->close(); };
        whenModal(cancel);
        control<QPushButton>(&dlg, 1103)->click();
        QCOMPARE(path->nativePath(), chosen);

        path->setText(qs(dir / "gone.bin"));
        whenModal(cancel);
        control<QPushButton>(&dlg, 1103)->click();
        QCOMPARE(path->text(), QString());
    }

    void addThroughMainForm_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("kindName");
        QTest::newRow("duplicate") << int(ruletype::kDuplicate) << QStringLiteral("重複");
        QTest::newRow("same file") << int(ruletype::kSameFile) << QStringLiteral("ファイル一致");
    }

    void addThroughMainForm() {
        QFETCH(int, kind);
        QFETCH(QString, kindName);
        test::TempDir dir;
        const std::string reference = dir.createFile("ref.bin", "abc");
        CQuenrixDoc doc;
        QXFolderHistory history;
        test::ScriptedPrompt prompt;
        CQuenrixView view(doc, history, prompt);
        view.show();

        bool offered = false;
        whenPopup([&](QMenu* menu) {
            for (QAction* action : menu->actions()) {
                if (action->data().toInt() != kind) continue;
                offered = action->isEnabled();
                menu->setActiveAction(action);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
            menu->close();
        });
        whenModal([&](QWidget* dlg) {
            if (kind == ruletype::kSameFile) {
                control<CDropEdit>(dlg, 1105)->setText(qs(reference));
            }
            control<QPushButton>(dlg, 1)->click();
            if (dlg->isVisible()) dlg->close();
        });
        QTest::mouseClick(view.findChild<QPushButton*>(QStringLiteral("c1004")), Qt::LeftButton);

        QVERIFY(offered);
        QCOMPARE(doc.rules.size(), size_t(1));
        QCOMPARE(doc.rules[0]->typeId(), int32_t(kind));
        auto* list = view.findChild<CRuleListCtrl*>(QStringLiteral("c1003"));
        QVERIFY(list);
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(CRuleListCtrl::kKindColumn), kindName);
        QCOMPARE(list->topLevelItem(0)->text(CRuleListCtrl::kDetailColumn),
                 QString::fromStdWString(doc.rules[0]->description()));
    }
};

QX_UI_TEST(DuplicateDialogsTest);

#include "duplicate_dialogs_test.moc"
