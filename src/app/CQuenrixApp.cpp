#include "app/CQuenrixApp.h"

#include <QApplication>

#include "app/CMainFrame.h"
#include "platform/Text.h"

namespace quenrix {

int runQuenrix(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenrix"));
    // Qt sets the locale from the environment; case-insensitive comparisons must not
    // depend on it (a cron job runs with LANG=C).
    platform::initLocale();

    CMainFrame frame;
    frame.show();
    return app.exec();
}

}  // namespace quenrix
