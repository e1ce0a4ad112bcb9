#include "app/CQuenrixApp.h"

#include <QApplication>
#include <QStyle>

#include "app/CMainFrame.h"
#include "app/CMakeConfigDlg.h"
#include "core/QXLog.h"
#include "digest/QXCacheServer.h"
#include "doc/QXAppSettings.h"
#include "platform/Text.h"
#include "rule/ui/QXRuleEditors.h"

namespace quenrix {

namespace {

// Finds the settings file, or on a first run asks where to make it; returns true on a
// first run. The folder is settled either way: the chosen one, else the configuration
// folder, else none (the file name alone).
bool settleSettingsFolder(QXAppSettings& settings) {
    if (settings.locate()) return false;
    const QXAppSettings::Places places = QXAppSettings::defaultPlaces();
    const int32_t choice = CMakeConfigDlg::ask(places);
    if (!settings.createFolder(choice, places) && choice != QXAppSettings::kUserConfig) {
        settings.createFolder(QXAppSettings::kUserConfig, places);
    }
    if (settings.settingsFolder().empty()) {
        QXLog::Write(L"設定ファイルのフォルダを作成できませんでした。");
    }
    return true;
}

}  // namespace

int runQuenrix(int argc, char** argv) {
    QApplication app(argc, argv);
    // Qt sets the locale from the environment; case-insensitive comparisons must not
    // depend on it (a cron job runs with LANG=C).
    platform::initLocale();
    QApplication::setApplicationName(QStringLiteral("Quenrix"));
    QApplication::setWindowIcon(app.style()->standardIcon(QStyle::SP_ComputerIcon));
    registerRuleEditors();

    // Start-up, in this order.
    // The per-user log file; without its folder the log goes to the log window only.
    QXLog::setFilePath(QXLog::defaultFilePath());
    QXLog::Write(L"ログ開始...");

    // The settings: a first run stores the defaults at once, which makes the file;
    // otherwise they are read, and the log follows their Logging switch.
    QXAppSettings& settings = QXAppSettings::instance();
    if (settleSettingsFolder(settings)) {
        settings.save();
    } else {
        settings.load();
    }

    // The cache store is opened whether or not caching is on; its users decide.
    QXCacheServer::instance().open(settings.settingsFolder());

    // TODO(start-up): the image plug-in, archive and tag hosts and the command line come
    // here, in that order. The main frame loads the recent-document list itself.

    int status = 0;
    {
        CMainFrame frame;
        // Where it was last closed, maximized or minimized as it was then.
        frame.placeFromSettings(settings);
        status = app.exec();
        settings.folderHistory = frame.folderHistory().entries();
    }

    QXCacheServer::instance().close();
    // TODO(shutdown): unload the external modules.
    settings.save();
    return status;
}

}  // namespace quenrix
