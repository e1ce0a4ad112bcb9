// The search progress dialog driven by a real search worker over a temporary tree, and
// the sink that carries the worker's calls onto the user-interface thread.
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/QXHandleThread.h"
#include "core/ui/CRunningDlg.h"
#include "core/ui/QXQtProgressSink.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "ui/UiTest.h"

using quenrix::CRunningDlg;
using quenrix::QXHandleThread;
using quenrix::QXQtProgressSink;
using quenrix::QXSearchParams;
using quenrix::QXTarget;
using quenrix::test::TempDir;
using quenrix::test::TestRule;

namespace {

QXSearchParams searchOf(const std::string& folder, std::shared_ptr<TestRule> rule) {
    QXSearchParams params;
    params.targets = {QXTarget::fromPath(folder)};
    params.includeSubfolders = true;
    params.rules = {std::move(rule)};
    return params;
}

// Holds the worker inside its last call until released, so a test can look at the
// dialog while the worker has stopped but not yet finished.
class HoldingSink : public QXQtProgressSink {
public:
    void finished() override {
        while (hold.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QXQtProgressSink::finished();
    }
    std::atomic<bool> hold{false};
};

// Lets the worker go even when a check inside a timer callback fails and returns early.
struct Release {
    std::atomic<bool>& hold;
    ~Release() { hold.store(false); }
};

}  // namespace

class RunningDlgTest : public QObject {
    Q_OBJECT
private slots:
    void sinkDeliversQueuedOnUiThread() {
        QXQtProgressSink sink;
        QObject receiver;
        QStringList got;
        bool allOnUiThread = true;
        auto note = [&](const QString& what) {
            allOnUiThread = allOnUiThread && QThread::currentThread() == receiver.thread();
            got << what;
        };
        connect(&sink, &QXQtProgressSink::statusLineChanged, &receiver,
                [&](const QString& t) { note("status " + t); });
        connect(&sink, &QXQtProgressSink::ruleLineChanged, &receiver,
                [&](const QString& t) { note("rule " + t); });
        connect(&sink, &QXQtProgressSink::fileLineChanged, &receiver,
                [&](const QString& t) { note("file " + t); });
        connect(&sink, &QXQtProgressSink::overallChanged, &receiver,
                [&](int p, const QString& t) { note(QStringLiteral("total %1 ").arg(p) + t); });
        connect(&sink, &QXQtProgressSink::taskChanged, &receiver,
                [&](int p, const QString& t) { note(QStringLiteral("task %1 ").arg(p) + t); });
        connect(&sink, &QXQtProgressSink::lineAppended, &receiver,
                [&](const QString& t) { note("line " + t); });
        connect(&sink, &QXQtProgressSink::workerFinished, &receiver, [&] { note("finished"); });

        std::thread worker([&] {
            sink.setStatusLine(L"ファイルリストを構築しています");
            sink.setRuleLine(L"テスト test");
            // A legacy-encoded name: 0xE9 did not decode and is kept as an escaped unit.
            sink.setFileLine(L"/tmp/caf\xDCE9.txt");
            sink.setOverall(42, L"42 %");
            sink.setTask(7, L"7 %");
            sink.appendLine(L"\U0002000B \xDC80\xDCFF");
            sink.finished();
        });
        worker.join();
        QVERIFY2(got.isEmpty(), "nothing may be delivered before the event loop runs");

        QTRY_COMPARE_WITH_TIMEOUT(got.size(), 7, 10000);
        QVERIFY(allOnUiThread);
        const QStringList expected = {
            QStringLiteral("status ファイルリストを構築しています"),
            QStringLiteral("rule テスト test"),
            QStringLiteral("file /tmp/caf\uFFFD.txt"),
            QStringLiteral("total 42 42 %"),
            QStringLiteral("task 7 7 %"),
            QStringLiteral("line \U0002000B \uFFFD\uFFFD"),
            QStringLiteral("finished"),
        };
        QCOMPARE(got, expected);
    }

    void showsProgressAndClosesWhenDone() {
        TempDir tmp;
        // Every path is far longer than the file line.
        const std::string deep = "tree/" + std::string(60, 'x') + "/" + std::string(60, 'y');
        const std::string keep1 = tmp.createFile(deep + "/keep1.txt", "1");
        tmp.createFile(deep + "/skip.log", "2");
        const std::string keep2 = tmp.createFile(deep + "/sub/keep2.txt", "3");
        tmp.createFile(deep + "/sub/skip.dat", "4");

        auto rule = std::make_shared<TestRule>(std::set<std::wstring>{L"keep1.txt", L"keep2.txt"});
        // Slower than the worker's file-line interval, so every record reaches the line.
        rule->onRecord = [](auto&) { std::this_thread::sleep_for(std::chrono::milliseconds(35)); };
        QXQtProgressSink sink;
        QXHandleThread worker(searchOf(tmp / "tree", rule), sink, nullptr);
        worker.setProtectedFolders({});
        CRunningDlg dlg(worker, sink);

        bool sawOpen = false;
        int openWidth = 0;
        QTimer::singleShot(0, &dlg, [&] {
            sawOpen = dlg.isVisible();
            openWidth = dlg.width();
        });
        bool timedOut = false;
        QTimer::singleShot(120000, &dlg, [&] {
            timedOut = true;
            worker.cancel();
        });

        const int result = dlg.exec();

        QVERIFY(sawOpen);
        QVERIFY2(!timedOut, "the dialog did not close by itself");
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("しばらくお待ちください"));
        QVERIFY(!worker.cancelled());

        std::vector<std::string> matched;
        for (const auto& f : worker.matchList()) matched.push_back(f->nativePath());
        std::sort(matched.begin(), matched.end());
        QCOMPARE(matched, (std::vector<std::string>{keep1, keep2}));

        QCOMPARE(dlg.statusLine()->text(), QStringLiteral("ルールを適用しています"));
        QCOMPARE(dlg.ruleLine()->text(), QStringLiteral("テスト test"));
        QVERIFY2(dlg.fileLine()->text().contains(QChar(0x2026)), "long path is elided");
        QCOMPARE(dlg.width(), openWidth);
        QVERIFY(dlg.totalBar()->value() > 0);
        QCOMPARE(dlg.taskBar()->value(), 100);
        QCOMPARE(dlg.taskText()->text(), QStringLiteral("100 %"));
        QCOMPARE(dlg.totalText()->text(), QStringLiteral("100 %"));
    }

    void cancelStopsTheWorkerAndWaitsForIt_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel button") << "button";
        QTest::newRow("Esc") << "escape";
        QTest::newRow("close box") << "close";
    }

    void cancelStopsTheWorkerAndWaitsForIt() {
        QFETCH(QString, how);
        TempDir tmp;
        constexpr int kFiles = 200;
        for (int i = 0; i < kFiles; ++i) {
            tmp.createFile("tree/d" + std::to_string(i % 4) + "/f" + std::to_string(i) + ".txt");
        }
        auto rule = std::make_shared<TestRule>();
        std::atomic<int> examined{0};
        rule->predicate = [](auto&) { return true; };
        rule->onRecord = [&](auto&) {
            examined.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        };
        HoldingSink sink;
        sink.hold = true;
        QXHandleThread worker(searchOf(tmp / "tree", rule), sink, nullptr);
        worker.setProtectedFolders({});
        CRunningDlg dlg(worker, sink);

        bool cancelled = false;
        QElapsedTimer sinceRelease;
        QTimer::singleShot(100, &dlg, [&] {
            Release release{sink.hold};
            // The rule pass is under way and the dialog keeps showing it.
            QTRY_VERIFY_WITH_TIMEOUT(examined.load() > 0, 30000);
            QTRY_COMPARE_WITH_TIMEOUT(dlg.ruleLine()->text(), QStringLiteral("テスト test"), 30000);
            QVERIFY(dlg.cancelButton()->isEnabled());
            if (how == "button") {
                QTest::mouseClick(dlg.cancelButton(), Qt::LeftButton);
            } else if (how == "escape") {
                QTest::keyClick(&dlg, Qt::Key_Escape);
            } else {
                dlg.close();
            }
            QVERIFY(!dlg.cancelButton()->isEnabled());
            // The worker stops but cannot finish yet: the dialog must stay open meanwhile,
            // whatever else the user presses.
            QTest::qWait(300);
            QVERIFY(dlg.isVisible());
            QTest::keyClick(&dlg, Qt::Key_Escape);
            dlg.close();
            QVERIFY(dlg.isVisible());
            cancelled = true;
            sinceRelease.start();
        });
        QTimer::singleShot(120000, &dlg, [&] {
            sink.hold = false;
            worker.cancel();
        });

        dlg.exec();

        QVERIFY(cancelled);
        QVERIFY2(sinceRelease.elapsed() < 20000, "the dialog did not close soon after the end");
        QVERIFY(!dlg.isVisible());
        QVERIFY(worker.cancelled());
        QVERIFY(worker.matchList().empty());
        QVERIFY2(examined.load() < kFiles, "the rule pass ran to the end");
    }
};
QX_UI_TEST(RunningDlgTest);

#include "running_dlg_test.moc"
