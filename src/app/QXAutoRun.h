// The unattended run: what command 32783 does when the command line set /AutoRun. It
// searches the opened document, runs the /D action on the ticked matches without a
// question, removes the empty folders when /R is set, writes "終了します" and reports
// whether anything failed; the main frame then closes itself.
//
// The run stops before any action when a target of the document no longer exists or a
// folder of the search could not be listed: the matches of such a search are decided on
// part of the files (a missing backup folder would turn every original into a
// "non-duplicate"). Anything that went wrong makes the run fail: an error box, a search
// that was refused or stopped, a ticked file the action could not process (trash
// failures included), an empty-folder search error or a folder that could not be
// removed.
//
// Also the display-less safety net: an application-wide filter that lets no box or
// dialog other than the progress dialogs of the run wait for a click.
//
// User-interface thread only.
#pragma once

#include <QObject>

#include <string>
#include <vector>

namespace quenrix {

class CMainFrame;
class QXAppSettings;

class QXAutoRun {
public:
    static constexpr int kSucceeded = 0;
    static constexpr int kFailed = 1;

    QXAutoRun(CMainFrame& frame, QXAppSettings& settings) : m_frame(frame), m_settings(settings) {}

    // Runs the whole job; the exit status, kSucceeded or kFailed.
    int run();

    // The document's target paths that did not become targets when it was opened
    // (folders that no longer exist), read again from the document file. Empty for a new
    // document or a file that cannot be read again.
    static std::vector<std::string> missingTargets(const std::string& documentPath,
                                                   const std::vector<std::string>& targets);

private:
    // false (logged) when a target is missing.
    bool checkTargets();
    bool search();
    bool runAction();
    bool removeEmptyFolders();

    CMainFrame& m_frame;
    QXAppSettings& m_settings;
};

// Closes every box and dialog that would wait for the user, except the progress dialogs
// that close themselves when their worker ends; each one closed is logged and counted as
// an error box. Installed on the application by an unattended run without a display.
class QXUnattendedGuard : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The boxes and dialogs closed since the last reset; any thread.
    static int closedDialogs();
    static void resetClosedDialogs();
};

}  // namespace quenrix
