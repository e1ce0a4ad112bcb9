#include "app/CQuenrixApp.h"

#include <QApplication>
#include <QStyle>

#include "app/CMainFrame.h"
#include "core/QXLog.h"
#include "platform/Text.h"

namespace quenrix {

int runQuenrix(int argc, char** argv) {
    QApplication app(argc, argv);
    // Qt sets the locale from the environment; case-insensitive comparisons must not
    // depend on it (a cron job runs with LANG=C).
    platform::initLocale();
    QApplication::setApplicationName(QStringLiteral("Quenrix"));
    QApplication::setWindowIcon(app.style()->standardIcon(QStyle::SP_ComputerIcon));

    // Start-up, in this order.
    // The per-user log file; without its folder the log goes to the log window only.
    QXLog::setFilePath(QXLog::defaultFilePath());
    QXLog::Write(L"ログ開始...");

    // TODO(start-up): the settings file and its folder (first run), the rule presets,
    // the cache store, the image plug-in, archive and tag hosts, the recent-file list
    // and the command line come here, in that order.

    int status = 0;
    {
        CMainFrame frame;
        frame.show();
        status = app.exec();
    }

    // TODO(shutdown): close the cache store, unload the external modules and save the
    // settings.
    return status;
}

}  // namespace quenrix
