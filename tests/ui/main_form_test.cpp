// The main form driven through its own widgets: targets from the clipboard and a drop,
// rule grouping and its row tints, a search through the progress dialog into the result
// list, the rule-kind menu, and the layout following the window size.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDropEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <memory>

#include "core/ui/CRunningDlg.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXFolderHistory.h"
#include "rule/QXRuleRegistry.h"
#include "rule/ui/CRuleListCtrl.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "ui/FormFixture.h"
#include "ui/UiTest.h"
#include "view/ui/CQuenrixView.h"
#include "view/ui/QXResultListModel.h"

using namespace quenrix;

namespace {

using Form = test::FormFixture;

QString qs(const std::string& bytes) {
    return QFile::decodeName(QByteArray::fromStdString(bytes));
}

const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kOddGroup(0xFF, 0xFF, 0xC0);
const QColor kEvenGroup(0xE0, 0xFF, 0xFF);

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void targetsFromPasteAndDrop() {
        test::TempDir dir;
        const std::string a = dir.createDir("a"), b = dir.createDir("b"), c = dir.createDir("c");
        const std::string file = dir.createFile("file.txt", "x");
        Form form;
        form.view.show();
        auto* list = form.control<QListWidget>(1000);

        QGuiApplication::clipboard()->setText(qs(a));
        form.click(1011);
        QCOMPARE(form.doc.targets.size(), size_t(1));
        QCOMPARE(form.doc.targets[0]->path, a);

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(qs(b)), QUrl::fromLocalFile(qs(file)),
                      QUrl::fromLocalFile(qs(c))});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&form.view, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form.view, &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(form.doc.targets.size(), size_t(3));  // the file was left out
        QCOMPARE(form.doc.targets[1]->path, b);
        QCOMPARE(form.doc.targets[2]->path, c);
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(2)->text(), qs(c));

        QMimeData text;
        text.setText(qs(a));
        QDragEnterEvent textEnter(QPoint(20, 20), Qt::CopyAction, &text, Qt::LeftButton,
                                  Qt::NoModifier);
        QApplication::sendEvent(&form.view, &textEnter);
        QVERIFY(!textEnter.isAccepted());

        list->setCurrentRow(2);
        form.click(1095);
        QCOMPARE(form.doc.targets.size(), size_t(2));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->currentRow(), 1);
        QVERIFY(list->item(1)->isSelected());
        QCOMPARE(form.doc.targets[1]->path, b);
    }

    void groupingTintsRows() {
        Form form;
        for (const wchar_t* label : {L"one", L"two", L"three"}) {
            form.view.appendRule(std::make_shared<test::TestRule>(std::set<std::wstring>{}, 50,
                                                                  std::wstring(label)));
        }
        auto* list = form.control<CRuleListCtrl>(1003);
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("テスト"));
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("テスト one"));
        // A box the user cleared survives the rebuild that grouping does.
        list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);

        list->topLevelItem(0)->setSelected(true);
        list->topLevelItem(1)->setSelected(true);
        form.click(1012);
        QVERIFY(form.doc.rules[0]->group());
        QCOMPARE(form.doc.rules[0]->group(), form.doc.rules[1]->group());
        QVERIFY(!form.doc.rules[1]->enabled());
        QCOMPARE(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
        for (int row : {0, 1}) {
            QCOMPARE(list->topLevelItem(row)->text(1), QStringLiteral("AND"));
            QCOMPARE(list->topLevelItem(row)->background(0).color(), kOddGroup);
            QCOMPARE(list->topLevelItem(row)->background(2).color(), kOddGroup);
        }
        QCOMPARE(list->topLevelItem(2)->text(1), QString());
        QCOMPARE(list->topLevelItem(2)->background(0).color(), kWhite);

        // A second group takes the other tint, whichever of the two sorts first.
        list->clearSelection();
        list->topLevelItem(2)->setSelected(true);
        form.click(1013);
        int even = 0;
        for (int row = 0; row < 3; ++row) {
            const QXRulePtr rule = list->ruleAt(row);
            QVERIFY(rule->group());
            QCOMPARE(list->topLevelItem(row)->text(1),
                     rule->groupType() == 0 ? QStringLiteral("AND") : QStringLiteral("OR"));
            const bool odd = rule->group()->displayNumber % 2 == 1;
            QCOMPARE(list->topLevelItem(row)->background(0).color(), odd ? kOddGroup : kEvenGroup);
            if (!odd) ++even;
        }
        QVERIFY(even == 1 || even == 2);
        QCOMPARE(list->topLevelItem(0)->background(0).color(), kOddGroup);

        list->selectAll();
        form.click(1014);
        for (int row = 0; row < 3; ++row) {
            QVERIFY(!list->ruleAt(row)->group());
            QCOMPARE(list->topLevelItem(row)->text(1), QString());
            QCOMPARE(list->topLevelItem(row)->background(0).color(), kWhite);
        }
    }

    void searchFillsResultList() {
        test::TempDir dir;
        dir.createFile("a.txt", "1");
        dir.createFile("b.txt", "22");
        dir.createFile("c.txt", std::string(1234567, 'x'));
        Form form;
        QSignalSpy status(&form.view, &CQuenrixView::statusTextChanged);
        auto rule = std::make_shared<test::TestRule>(std::set<std::wstring>{L"c.txt", L"a.txt"});
        form.view.appendRule(rule);
        QVERIFY(form.view.appendTarget(QXTarget::fromPath(dir.path())));

        form.click(1009);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(form.view.findChildren<CRunningDlg*>().isEmpty());
        QVERIFY(form.prompt.boxes.empty());
        QXResultListModel* model = form.view.resultModel();
        QCOMPARE(form.control<QTableView>(1005)->model(), model);
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->data(model->index(0, 0)).toString(), QStringLiteral("a.txt"));
        QCOMPARE(model->data(model->index(1, 1)).toString(), qs(dir / "c.txt"));
        QCOMPARE(model->data(model->index(1, 2)).toString(), QStringLiteral("1,234,567"));
        QCOMPARE(model->data(model->index(1, 4)).toString(), QString());
        QCOMPARE(model->data(model->index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QCOMPARE(form.view.statusText(), QStringLiteral("総数: 3  一致: 2  選択: 2"));
        QVERIFY(!status.isEmpty());
        QCOMPARE(status.last().at(0).toString(), form.view.statusText());
        QCOMPARE(form.history.entries().size(), size_t(1));

        // The check box is the record's check bit.
        QVERIFY(model->setData(model->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!form.doc.results[0]->hasFlag(QXFileInfo::kCheck));
        QCOMPARE(model->tickedSize(), uint64_t(1234567));
        QCOMPARE(form.view.statusText(), QStringLiteral("総数: 3  一致: 2  選択: 1"));

        // A re-search that matches nothing says so.
        rule->matching.clear();
        form.click(1010);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(form.prompt.boxes.size(), size_t(1));
        QCOMPARE(form.prompt.boxes[0].text, std::wstring(L"ファイルが見つかりませんでした。"));
        QCOMPARE(form.prompt.boxes[0].caption, std::wstring(L"Information"));
        QCOMPARE(form.view.statusText(), QStringLiteral("総数: 3  一致: 0  選択: 0"));
    }

    void addRuleMenuListsEveryKind() {
        Form form;
        QStringList texts;
        QList<bool> enabled;
        bool seen = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            for (QAction* action : menu->actions()) {
                texts << action->text();
                enabled << action->isEnabled();
            }
            seen = true;
            poll.stop();
            menu->close();
        });
        poll.start();
        form.click(1004);
        QVERIFY(seen);
        QCOMPARE(texts.size(), int(ruletype::kCount));
        for (int id = 0; id < ruletype::kCount; ++id) {
            const QXRuleKind* kind = ruleKind(id);
            QCOMPARE(texts[id], QString::fromWCharArray(kind->menuLabel));
            QCOMPARE(enabled[id], kind->create != nullptr);
        }
        QVERIFY(form.doc.rules.empty());
    }

    void layoutFollowsSize() {
        Form form;
        const QFontMetrics fm(form.view.font());
        const int ux = fm.averageCharWidth(), uy = fm.height();
        const QSize design = form.view.sizeHint();
        QCOMPARE(design, QSize((432 * ux + 2) / 4, (368 * uy + 4) / 8));
        for (auto* button : form.view.findChildren<QPushButton*>()) {
            QVERIFY2(button->width() >= fm.horizontalAdvance(button->text()),
                     qPrintable(button->text()));
        }
        for (auto* check : form.view.findChildren<QCheckBox*>()) {
            QVERIFY2(check->width() >= check->sizeHint().width(), qPrintable(check->text()));
        }

        form.view.show();  // a hidden widget gets its resize events only when shown
        form.view.resize(design);
        // Controls that grew for their text cover no neighbour.
        const auto controls =
            form.view.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (int i = 0; i < controls.size(); ++i) {
            for (int j = i + 1; j < controls.size(); ++j) {
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(controls[i]->objectName() + u' ' + controls[j]->objectName()));
            }
        }
        const int sliderLeft = form.control<QSlider>(1128)->x();
        const QRect search = form.control(1009)->geometry();
        form.view.resize(design + QSize(200, 100));
        const QRect results = form.control<QTableView>(1005)->geometry();
        QCOMPARE(results.width(), form.view.width() - 2 * results.left());
        QCOMPARE(results.bottom() + 1, form.view.height() - 8);
        const QRect rules = form.control<CRuleListCtrl>(1003)->geometry();
        QCOMPARE(rules.width(), form.view.width() - 2 * rules.left());
        QCOMPARE(form.control<QSlider>(1128)->x(), sliderLeft + 200);
        QCOMPARE(form.control(1009)->geometry(), search);

        form.view.resize(design - QSize(50, 0));
        QCOMPARE(form.control<QSlider>(1128)->x(), sliderLeft);
    }
};
QX_UI_TEST(MainFormTest);

#include "main_form_test.moc"
