// The progress dialog of an action run ("処理しています"): the mode, a progress bar, the
// run's lines in a list that scrolls sideways, and キャンセル. When it opens it starts the
// worker; キャンセル or the close box asks the worker to stop after the file in progress
// and keeps the dialog open. When the worker has finished, the dialog waits for its
// thread, shows "終了" and turns the button into 確認; an error of the run is reported in
// a box. In the unattended run (AutoDel) it closes by itself when there was no error.
// User-interface thread only.
#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace quenrix {

class QXDeleteThreadInterface;
class QXPrompt;
class QXQtProgressSink;

class CFileDeleteDlg : public QDialog {
    Q_OBJECT
public:
    // `sink` is the sink the worker was made with; `prompt` shows the error box.
    CFileDeleteDlg(QXDeleteThreadInterface& worker, QXQtProgressSink& sink, int mode,
                   QXPrompt& prompt, QWidget* parent = nullptr);

    // Shows the dialog modally, runs the worker and returns when the user has closed the
    // dialog after the end (or it closed itself). Rejected at once, unshown, when no
    // thread can be made.
    int exec() override;

    // Adds a line to the list; a line wider than the list can be scrolled to sideways.
    void appendLine(const QString& text);

    bool done() const { return m_done; }
    int widestLine() const { return m_widest; }
    QLabel* waitLabel() const { return m_wait; }
    QLabel* modeLabel() const { return m_modeText; }
    QProgressBar* progressBar() const { return m_progress; }
    QListWidget* lines() const { return m_lines; }
    QPushButton* button() const { return m_button; }

protected:
    void reject() override;  // Esc and the close box: キャンセル while running

private:
    void onButton();
    void onFinished();

    QXDeleteThreadInterface& m_worker;
    QXQtProgressSink& m_sink;
    int m_mode;
    QXPrompt& m_prompt;
    QLabel* m_wait = nullptr;
    QLabel* m_modeText = nullptr;
    QProgressBar* m_progress = nullptr;
    QListWidget* m_lines = nullptr;
    QPushButton* m_button = nullptr;
    bool m_running = false;  // between start() and the end of exec()
    bool m_done = false;     // the worker has finished and its thread has ended
    int m_widest = 0;        // the widest line so far, in pixels
};

}  // namespace quenrix
