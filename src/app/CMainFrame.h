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

#include "app/QXQtPrompt.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXFolderHistory.h"

class QLabel;

namespace quenrix {

class CLogFrm;
class CQuenrixView;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kResultPaneWidth = 350;

    // Opens with a new document.
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CQuenrixDoc& document() { return m_doc; }
    QXFolderHistory& folderHistory() { return m_history; }
    QXPrompt& prompt() { return m_prompt; }

    // The main form in the client area.
    CQuenrixView* mainForm() const { return m_view; }
    // Status bar pane 0 ("レディ" while no prompt is shown) and pane 1 (the result
    // summary of the main form).
    QLabel* readyPane() const { return m_readyPane; }
    QLabel* resultPane() const { return m_resultPane; }

protected:
    void closeEvent(QCloseEvent* event) override;

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

    CQuenrixDoc m_doc;
    QXFolderHistory m_history;
    QXQtPrompt m_prompt;
    CQuenrixView* m_view = nullptr;
    QLabel* m_readyPane = nullptr;
    QLabel* m_resultPane = nullptr;
    QPointer<CLogFrm> m_log;  // the log window this frame opened, while it is open
};

}  // namespace quenrix
