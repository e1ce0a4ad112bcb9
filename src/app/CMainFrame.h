// The main window of the program: the menu bar, the two-pane status bar and the main
// form in the client area. It owns the document, the folder history and the message-box
// service the main form works with, for the whole life of the window. Its title is
// always "Quenrix" (no document name is added). User-interface thread only.
//
// Every menu command is a QAction named "cmd" plus its command number ("cmd32783" is
// 編集 > 検索).
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QRect>

#include <functional>
#include <string>
#include <vector>

#include "app/QXQtPrompt.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXAppSettings.h"
#include "doc/QXFolderHistory.h"
#include "doc/QXRecentFiles.h"

class QLabel;

namespace quenrix {

class CLogFrm;
class CQuenrixView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kResultPaneWidth = 350;

    // Opens with a new document and the recent-document list of the settings file.
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Where the stored placement puts the window: the rectangle is taken when the stored
    // show state is exactly maximized or minimized, or when all four coordinates are 0 or
    // more (and it is not empty); a maximized window ignores it.
    struct Placement {
        enum Show { kNormal, kMaximized, kMinimized };
        Show show = kNormal;
        bool useRect = false;
        QRect rect;  // screen coordinates of the window's client area
    };
    static Placement placementFrom(const QXGeneralSettings& settings);
    // Places and shows the window after the stored placement.
    void placeFromSettings(const QXGeneralSettings& settings);
    // Stores the window's rectangle (its restored one while maximized or minimized) and
    // its maximized/minimized state; the frame does this when it closes.
    void storePlacement(QXGeneralSettings& settings) const;

    // Asks for the file name of 設定ファイルを開く... (forSave false) or
    // 設定ファイルを保存... (true); empty when the user cancels. Tests put their own here.
    using FileNameChooser = std::function<QString(bool forSave)>;
    void setFileNameChooser(FileNameChooser chooser) { m_chooseFileName = std::move(chooser); }

    // Opens a document file (native bytes) as 設定ファイルを開く... does: on success it
    // goes first in the recent list; on failure a message box says so. Returns the result.
    bool openDocumentFile(const std::string& path);
    const std::vector<std::string>& recentFiles() const { return m_recent.entries(); }

    CQuenrixDoc& document() { return m_doc; }
    QXFolderHistory& folderHistory() { return m_history; }
    QXPrompt& prompt() { return m_prompt; }

    // The main form in the client area.
    CQuenrixView* mainForm() const { return m_view; }

    // Command 32783 (編集 > 検索, F5). The first one of a run with /AutoRun is the
    // unattended run (QXAutoRun): it searches, acts, and closes the frame; the process
    // then exits with autoRunStatus().
    void onSearchCommand();
    bool autoRunDone() const { return m_autoRunDone; }
    int autoRunStatus() const { return m_autoRunStatus; }
    // Status bar pane 0 ("レディ" while no prompt is shown) and pane 1 (the result
    // summary of the main form).
    QLabel* readyPane() const { return m_readyPane; }
    QLabel* resultPane() const { return m_resultPane; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QAction* addCommand(QMenu* menu, int command, const QString& text,
                        const QKeySequence& shortcut = {});
    void createMenus();
    void createStatusBar();
    void fitToMainForm();

    void onHelpIndex();
    void onHomePage();
    void onAbout();
    void onCacheClear();    // キャッシュを初期化
    void onCacheCompact();  // キャッシュを小さくする
    void onLog();

    void onFileNew();
    void onFileOpen();
    void onFileSave();
    void onRecentFile(size_t index);
    // The recent list changed: store it and rebuild its menu entries.
    void recentChanged();
    void rebuildRecentMenu();

    CQuenrixDoc m_doc;
    QXFolderHistory m_history;
    QXQtPrompt m_prompt;
    CQuenrixView* m_view = nullptr;
    QLabel* m_readyPane = nullptr;
    QLabel* m_resultPane = nullptr;
    QPointer<CLogFrm> m_log;  // the log window this frame opened, while it is open
    QXRecentFiles m_recent;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentEnd = nullptr;         // the separator after the recent entries
    std::vector<QAction*> m_recentActions;  // cmd57616 and on, or the empty-list entry
    FileNameChooser m_chooseFileName;
    // A window never shown (the unattended run without a display) has no placement of
    // its own to store: the stored one stays.
    bool m_everShown = false;
    bool m_autoRunStarted = false;
    bool m_autoRunDone = false;
    int m_autoRunStatus = 0;
};

}  // namespace quenrix
