// The archive check from the main form: chosen in the rule-kind menu it is added at once,
// without a dialog, and a double click on its row succeeds without one too.
#include <QApplication>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>

#include "rule/QXRuleRegistry.h"
#include "rule/ui/CRuleListCtrl.h"
#include "ui/FormFixture.h"
#include "ui/UiTest.h"

using namespace quenrix;

class CheckArchiveWindowTest : public QObject {
    Q_OBJECT
private slots:
    void addedAtOnceWithoutADialog() {
        test::FormFixture form;
        bool menuSeen = false;
        test::whenPopup([&](QMenu* menu) {
            menuSeen = true;
            QAction* action = menu->actions().value(ruletype::kCheckArchive);
            QVERIFY(action && action->isEnabled());
            menu->setActiveAction(action);
            QTest::keyClick(menu, Qt::Key_Return);
        });
        // Any window that opened would be a dialog the kind does not have.
        int modals = 0;
        test::ModalHandler closer([&](QWidget* w) {
            ++modals;
            w->close();
        });
        form.click(1004);
        QVERIFY(menuSeen);
        QCOMPARE(modals, 0);
        QCOMPARE(int(form.doc.rules.size()), 1);
        QCOMPARE(form.doc.rules[0]->typeId(), ruletype::kCheckArchive);
        QVERIFY(form.doc.rules[0]->enabled());

        auto* list = form.view.findChild<CRuleListCtrl*>();
        QVERIFY(list);
        QCOMPARE(list->topLevelItemCount(), 1);
        QTreeWidgetItem* row = list->topLevelItem(0);
        QCOMPARE(row->text(CRuleListCtrl::kKindColumn), QStringLiteral("書庫チェック"));
        QCOMPARE(row->text(CRuleListCtrl::kDetailColumn), QString());

        // Editing it asks nothing and keeps the row as it is.
        emit list->ruleActivated(0);
        QCOMPARE(modals, 0);
        QCOMPARE(list->topLevelItem(0)->text(CRuleListCtrl::kKindColumn),
                 QStringLiteral("書庫チェック"));
    }
};
QX_UI_TEST(CheckArchiveWindowTest);

#include "check_archive_window_test.moc"
