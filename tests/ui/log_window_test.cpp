#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QtTest>

#include <thread>

#include "app/CLogFrm.h"
#include "app/CMainFrame.h"
#include "core/QXLog.h"
#include "ui/UiTest.h"

using quenrix::CLogFrm;
using quenrix::CMainFrame;
using quenrix::QXLog;

namespace {

QList<QWidget*> logWindows() {
    QList<QWidget*> found;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->windowTitle() == QStringLiteral("Quenrix - Log")) found.push_back(window);
    }
    return found;
}

QAction* openLogCommand(CMainFrame& frame) {
    return frame.findChild<QAction*>(QStringLiteral("cmd32798"));
}

// Opens the log window from the frame's menu and returns it.
CLogFrm* openLog(CMainFrame& frame) {
    openLogCommand(frame)->trigger();
    const QList<QWidget*> windows = logWindows();
    return windows.size() == 1 ? qobject_cast<CLogFrm*>(windows[0]) : nullptr;
}

}  // namespace

class LogWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QXLog::clearQueue(); }
    void cleanup() {
        qDeleteAll(logWindows());
        QXLog::clearQueue();
    }

    void opensOnceWithItsMenus() {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(logWindows().isEmpty());

        CLogFrm* log = openLog(frame);
        QVERIFY(log);
        QVERIFY(QTest::qWaitForWindowExposed(log));
        openLogCommand(frame)->trigger();
        QCOMPARE(logWindows().size(), 1);
        QCOMPARE(logWindows()[0], log);

        QVERIFY(log->isWindow());
        QVERIFY(log->testAttribute(Qt::WA_DeleteOnClose));
        const QList<QAction*> menus = log->menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QStringLiteral("ファイル"));
        QCOMPARE(menus[0]->menu()->actions().size(), 1);
        QCOMPARE(menus[0]->menu()->actions()[0]->text(), QStringLiteral("閉じる"));
        QCOMPARE(menus[1]->text(), QStringLiteral("編集"));
        QVERIFY(menus[1]->menu()->actions().isEmpty());

        auto* list = log->findChild<QListWidget*>(QStringLiteral("logList"));
        QVERIFY(list);
        QCOMPARE(log->centralWidget(), list);
        QVERIFY(list->font().fixedPitch());
        QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        QCOMPARE(list->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    }

    void showsLogLinesInOrderAndScrollsToTheEnd() {
        CMainFrame frame;
        QXLog::Write(L"before the window %d", 1);
        CLogFrm* log = openLog(frame);
        QVERIFY(log);
        auto* list = log->findChild<QListWidget*>(QStringLiteral("logList"));
        QVERIFY(list);
        QVERIFY(QTest::qWaitForWindowExposed(log));

        QXLog::Write(L"ログ行 %s", L"二");
        std::thread worker([] {
            for (int i = 0; i < 200; ++i) QXLog::Write(L"worker %d", i);
        });
        worker.join();
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 202, 1500);
        QVERIFY(list->item(0)->text().endsWith(QStringLiteral("> before the window 1")));
        QVERIFY(list->item(1)->text().endsWith(QStringLiteral("> ログ行 二")));
        QVERIFY(list->item(2)->text().endsWith(QStringLiteral("> worker 0")));
        QVERIFY(list->item(201)->text().endsWith(QStringLiteral("> worker 199")));
        QVERIFY(list->verticalScrollBar()->maximum() > 0);
        QCOMPARE(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
    }

    void closeBoxClosesOnlyTheLogWindow() {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QPointer<CLogFrm> log = openLog(frame);
        QVERIFY(log);
        QVERIFY(QTest::qWaitForWindowExposed(log));
        QVERIFY(log->close());
        QTRY_VERIFY(log.isNull());
        QVERIFY(frame.isVisible());
        QVERIFY(logWindows().isEmpty());

        // A closed window keeps nothing; a new one opens.
        QXLog::Write(L"after reopening");
        QPointer<CLogFrm> again = openLog(frame);
        QVERIFY(again);
        auto* list = again->findChild<QListWidget*>(QStringLiteral("logList"));
        QTRY_COMPARE_WITH_TIMEOUT(list->count(), 1, 1500);
        QVERIFY(list->item(0)->text().endsWith(QStringLiteral("> after reopening")));
    }

    void fileCloseEndsTheProgram() {
        CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QPointer<CLogFrm> log = openLog(frame);
        QVERIFY(log);
        log->menuBar()->actions()[0]->menu()->actions()[0]->trigger();
        QVERIFY(!frame.isVisible());
        QTRY_VERIFY(log.isNull());
    }
};
QX_UI_TEST(LogWindowTest);

#include "log_window_test.moc"
