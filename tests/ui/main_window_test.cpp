#include <QApplication>
#include <QtTest>

#include "app/CMainFrame.h"
#include "support/TestEnv.h"

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithTitle() {
        quenrix::CMainFrame frame;
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QCOMPARE(frame.windowTitle(), QStringLiteral("Quenrix"));
    }
};

int main(int argc, char** argv) {
    quenrix::test::setUpTestEnvironment();
    QApplication app(argc, argv);
    MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
