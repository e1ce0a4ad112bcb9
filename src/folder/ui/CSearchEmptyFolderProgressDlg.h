// 空フォルダ削除 while the empty-folder search runs: "空フォルダを検索しています...", the
// folder being read, and 中止. Opening it makes and starts the search worker on the job;
// 中止 (or Esc, or the close box) asks the worker to stop and the dialog stays until the
// worker has finished. Then it waits for the thread; when the worker met an error it
// shows "エラーが発生しました" (not in the unattended run) and ends Rejected; otherwise
// Accepted, a stopped search included (the job then holds what was found so far).
// User-interface thread only.
#pragma once

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;

namespace Quenrix {
struct SearchEmptyFolderJob;
class SearchEmptyFolderThread;
}  // namespace Quenrix

namespace quenrix {

class QXPrompt;
class QXQtProgressSink;

class CSearchEmptyFolderProgressDlg : public QDialog {
    Q_OBJECT
public:
    CSearchEmptyFolderProgressDlg(Quenrix::SearchEmptyFolderJob& job, QXPrompt& prompt,
                                  bool unattended, QWidget* parent = nullptr);
    ~CSearchEmptyFolderProgressDlg() override;

    // Runs the search; returns after its thread has ended. Rejected at once, unshown,
    // when no thread can be made.
    int exec() override;

    QPushButton* stopButton() const { return m_stop; }
    QLabel* folderLine() const { return m_folder; }

protected:
    void reject() override;  // Esc and the close box: same as 中止

private:
    void onFinished();

    Quenrix::SearchEmptyFolderJob& m_job;
    QXPrompt& m_prompt;
    bool m_unattended;
    std::unique_ptr<QXQtProgressSink> m_sink;
    std::unique_ptr<Quenrix::SearchEmptyFolderThread> m_worker;
    QLabel* m_folder = nullptr;
    QPushButton* m_stop = nullptr;
    bool m_running = false;
    bool m_done = false;
};

}  // namespace quenrix
