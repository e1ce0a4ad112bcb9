// The whole main window driven as a user would: a target, a wildcard rule, 検索 through
// the menu command; the rows and the status pane are checked. With QUENRIX_SCREENSHOT
// set to a file name the window is also saved there as a picture (docs/ uses it).
#include <QAction>
#include <QLabel>
#include <QTableView>
#include <QtTest>

#include "app/CMainFrame.h"
#include "core/QXTarget.h"
#include "rule/QXFileSizeRule.h"
#include "rule/QXFilenameWildcardRule.h"
#include "rule/QXLastUpdatedTimeRule.h"
#include "support/TempDir.h"
#include "ui/UiTest.h"
#include "view/ui/CQuenrixView.h"
#include "view/ui/QXResultListModel.h"

class WindowSearchTest : public QObject {
    Q_OBJECT
private slots:
    void searchThroughTheMenuFillsTheList() {
        quenrix::test::TempDir dir;
        dir.createFile("写真/旅行/海.jpg", std::string(2048, 'x'));
        dir.createFile("写真/旅行/山.jpg", std::string(123456, 'y'));
        dir.createFile("写真/メモ.txt", "memo");
        dir.createFile("写真/家族/誕生日.JPG", std::string(4096, 'z'));

        quenrix::CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        quenrix::CQuenrixView* view = frame.mainForm();
        QVERIFY(view);
        QVERIFY(view->appendTarget(quenrix::QXTarget::fromPath(dir / "写真")));
        auto rule = std::make_shared<quenrix::QXFilenameWildcardRule>();
        rule->setPattern(L"*.jpg");
        rule->setIgnoreCase(true);
        view->appendRule(rule);
        view->findChild<QWidget*>("c1002")->setProperty("checked", true);

        auto* search = frame.findChild<QAction*>("cmd32783");
        QVERIFY(search);
        search->trigger();  // returns after the progress dialog has closed

        QCOMPARE(view->resultModel()->rowCount(), 3);
        QTRY_COMPARE(frame.resultPane()->text(), QStringLiteral("総数: 4  一致: 3  選択: 3"));
        QVERIFY(!QApplication::activeModalWidget());

        const QByteArray shot = qgetenv("QUENRIX_SCREENSHOT");
        if (!shot.isEmpty()) {
            frame.resize(900, 760);
            QTest::qWait(200);
            QVERIFY(frame.grab().save(QString::fromLocal8Bit(shot)));
        }
    }

    // All of a wildcard, a size and an update-time rule (operator AND, the default).
    void andOfNameSizeAndTime() {
        quenrix::test::TempDir dir;
        const int64_t in2020 = 1590000000;  // 2020-05-20
        dir.createFile("t/old-big.jpg", std::string(2048, 'a'), in2020);
        dir.createFile("t/new-big.jpg", std::string(2048, 'b'));
        dir.createFile("t/old-small.jpg", std::string(999, 'c'), in2020);
        dir.createFile("t/old-big.txt", std::string(2048, 'd'), in2020);

        quenrix::CMainFrame frame;
        quenrix::CQuenrixView* view = frame.mainForm();
        QVERIFY(view->appendTarget(quenrix::QXTarget::fromPath(dir / "t")));
        auto name = std::make_shared<quenrix::QXFilenameWildcardRule>();
        name->setPattern(L"*.jpg");
        auto size = std::make_shared<quenrix::QXFileSizeRule>();
        size->setSize(1);
        size->setUnit(quenrix::QXFileSizeRule::kKByte);  // 1000 bytes
        size->setFunction(quenrix::QXFileSizeRule::kAtLeast);
        auto time = std::make_shared<quenrix::QXLastUpdatedTimeRule>();
        platform::SYSTEMTIME ref{};
        ref.wYear = 2021;
        ref.wMonth = 1;
        ref.wDay = 1;
        time->setReferenceTime(ref);
        time->setTimeType(quenrix::QXFileTimeRule::kStoredTime);
        time->setFunction(quenrix::QXFileTimeRule::kAtOrBefore);
        for (const quenrix::QXRulePtr& r :
             {quenrix::QXRulePtr(name), quenrix::QXRulePtr(size), quenrix::QXRulePtr(time)}) {
            view->appendRule(r);
        }
        view->onSearch();
        QCOMPARE(view->resultModel()->rowCount(), 1);
        QCOMPARE(view->resultModel()->data(view->resultModel()->index(0, 0)).toString(),
                 QStringLiteral("old-big.jpg"));
    }
};
QX_UI_TEST(WindowSearchTest);

#include "window_search_test.moc"
