#include "app/CQuenrixApp.h"

#include <QApplication>
#include <QStyle>

#include <cstdio>
#include <cstdlib>

#include "app/CMainFrame.h"
#include "app/CMakeConfigDlg.h"
#include "app/QXAutoRun.h"
#include "app/QXQtPrompt.h"
#include "app/QuenrixCommandLineInfo.h"
#include "core/QXLog.h"
#include "digest/QXCacheServer.h"
#include "doc/QXAppSettings.h"
#include "platform/SpecialFolders.h"
#include "platform/Text.h"
#include "rule/ui/QXRuleEditors.h"
#include "tovy/TovUtf8.h"
#include "tovy/support_archive/Manager.h"
#include "tovy/support_susie/PluginManager.h"
#include "tovy/support_tag/TovTagLibHost.h"
#include "view/ui/CQuenrixView.h"

namespace quenrix {

namespace {

// Finds the settings file, or on a first run asks where to make it; returns true on a
// first run. The folder is settled either way: the chosen one, else the configuration
// folder, else none (the file name alone). An unattended run asks nobody: it takes the
// configuration folder.
bool settleSettingsFolder(QXAppSettings& settings, bool unattended) {
    if (settings.locate()) return false;
    const QXAppSettings::Places places = QXAppSettings::defaultPlaces();
    const int32_t choice =
        unattended ? int32_t(QXAppSettings::kUserConfig) : CMakeConfigDlg::ask(places);
    if (!settings.createFolder(choice, places) && choice != QXAppSettings::kUserConfig) {
        settings.createFolder(QXAppSettings::kUserConfig, places);
    }
    if (settings.settingsFolder().empty()) {
        QXLog::Write(L"設定ファイルのフォルダを作成できませんでした。");
    }
    return true;
}

// Opens the document named on the command line into the hidden frame. false when it
// does not exist or cannot be read: the frame has said so in a box, the terminal and
// the log are told too, and the program ends.
bool openCommandLineDocument(CMainFrame& frame, const QuenrixCommandLineInfo& cmdInfo) {
    const std::string& path = cmdInfo.fileName();
    if (path.empty() || frame.openDocumentFile(path)) return true;
    QXLog::Write(L"設定ファイルを開けませんでした: %s", tovy::fromUtf8(path).c_str());
    std::fprintf(stderr, "quenrix: 設定ファイルを開けませんでした: %s\n", path.c_str());
    return false;
}

// What the command line asks for once the window is up: an unattended run logs into the
// document's own log file; otherwise the folders named become targets.
void applyCommandLine(CMainFrame& frame, const QuenrixCommandLineInfo& cmdInfo,
                      const QXAppSettings& settings) {
    if (settings.cmdAutoRun != 0) {
        const std::string& document = frame.document().settingsFilePath();
        if (!document.empty()) QXLog::setFilePath(autoRunLogPath(document));
        // Posted: the run starts once the event loop does, as a press of F5 would.
        QMetaObject::invokeMethod(&frame, &CMainFrame::onSearchCommand, Qt::QueuedConnection);
        return;
    }
    CQuenrixView* form = frame.mainForm();
    if (!form) return;
    // A folder the shell cannot parse is skipped.
    for (const std::string& folder : cmdInfo.folders())
        form->appendTarget(QXTarget::fromPath(folder));
}

bool hasEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool displayNamed() {
    return hasEnv("DISPLAY") || hasEnv("WAYLAND_DISPLAY") || hasEnv("QT_QPA_PLATFORM");
}

// Platforms that show nothing to anybody.
bool headlessPlatform() {
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}

}  // namespace

int runQuenrix(int argc, char** argv) {
    // Before anything is made, so that it works without a display.
    if (QuenrixCommandLineInfo::wantsHelp(argc, argv)) {
        std::fputs(QuenrixCommandLineInfo::helpText().c_str(), stdout);
        return 0;
    }
    // A cron job or an SSH session has no display: an unattended run then goes on Qt's
    // offscreen platform, anything else would abort in Qt.
    const bool autoRun = QuenrixCommandLineInfo::wantsAutoRun(argc, argv);
    if (!displayNamed()) {
        if (!autoRun) {
            std::fputs(QuenrixCommandLineInfo::noDisplayText().c_str(), stderr);
            return 2;
        }
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }

    QApplication app(argc, argv);
    // Qt sets the locale from the environment; case-insensitive comparisons must not
    // depend on it (a cron job runs with LANG=C).
    platform::initLocale();
    QApplication::setApplicationName(QStringLiteral("Quenrix"));
    QApplication::setWindowIcon(app.style()->standardIcon(QStyle::SP_ComputerIcon));
    registerRuleEditors();
    // Nobody can answer a box of an unattended run that shows nothing: every box goes to
    // the log, and no other dialog may wait (QXUnattendedGuard).
    const bool headless = autoRun && headlessPlatform();
    QXQtPrompt::setLogOnly(headless);
    QXUnattendedGuard guard;
    if (headless) app.installEventFilter(&guard);
    // The unattended run ends the program itself when it has closed the frame.
    if (autoRun) app.setQuitOnLastWindowClosed(false);

    // Start-up, in this order.
    // The per-user log file; without its folder the log goes to the log window only.
    QXLog::setFilePath(QXLog::defaultFilePath());
    QXLog::Write(L"ログ開始...");

    // The settings: a first run stores the defaults at once, which makes the file;
    // otherwise they are read, and the log follows their Logging switch.
    QXAppSettings& settings = QXAppSettings::instance();
    if (settleSettingsFolder(settings, autoRun)) {
        settings.save();
    } else {
        settings.load();
    }

    // The cache store is opened whether or not caching is on; its users decide.
    QXCacheServer::instance().open(settings.settingsFolder());

    // The picture plug-ins of the chosen folder (none when no folder is set).
    tovy::support_susie::pluginHost().Create();
    tovy::support_susie::pluginHost().LoadFolder(tovy::fromUtf8(settings.susiePath));
    // The archive modules beside the executable; a missing one is skipped.
    tovy::support_archive::archiveHost().LoadArchivers();
    // The tag module beside the executable; without it every ID3 condition is false.
    tovy::support_tag::TovTagLibHost::instance().load(platform::executableFolder());
    // The main frame loads the recent-document list itself.

    // The command line, after QApplication has taken its own options out of argv.
    QuenrixCommandLineInfo cmdInfo(settings);
    cmdInfo.parseCommandLine(argc, argv);

    int status = 0;
    {
        CMainFrame frame;
        if (!openCommandLineDocument(frame, cmdInfo)) {
            status = 2;
        } else {
            // Where it was last closed, maximized or minimized as it was then. Without a
            // display the unattended run shows no window at all.
            if (!headless) frame.placeFromSettings(settings);
            applyCommandLine(frame, cmdInfo, settings);
            status = app.exec();
            if (frame.autoRunDone()) status = frame.autoRunStatus();
        }
        settings.folderHistory = frame.folderHistory().entries();
    }

    // Shutdown, in this order; the settings are saved last.
    QXCacheServer::instance().close();
    tovy::support_tag::TovTagLibHost::instance().unload();
    tovy::support_susie::pluginHost().UnloadAll();
    tovy::support_archive::archiveHost().UnloadArchivers();
    settings.save();
    return status;
}

}  // namespace quenrix
