// 空フォルダ削除 while the found folders are removed: the removal's lines (list 1115), OK and
// キャンセル. Opening it disables OK and makes and starts the removal worker; each line is
// appended as it comes, the list scrolled to the last one (and, in the unattended run,
// written to the log). When the worker has finished the dialog waits for it, adds the
// lines still pending, and then either closes itself after the closing log line (the
// unattended run) or says "全て削除しました。" / "エラーが発生しました" and enables OK in
// place of キャンセル. キャンセル (Esc, the close box) while the worker runs asks it to
// stop. User-interface thread only.
#pragma once

#include <QDialog>

#include <memory>
#include <string>

class QListWidget;
class QPushButton;

namespace Quenrix {
struct SearchEmptyFolderJob;
class SearchEmptyFolderRemoveThread;
}  // namespace Quenrix

namespace quenrix {

class QXPrompt;
class QXQtProgressSink;

class CSearchEmptyFolderRemoveDlg : public QDialog {
    Q_OBJECT
public:
    CSearchEmptyFolderRemoveDlg(Quenrix::SearchEmptyFolderJob& job, QXPrompt& prompt,
                                bool unattended, QWidget* parent = nullptr);
    ~CSearchEmptyFolderRemoveDlg() override;

    // Runs the removal; returns after its thread has ended and the dialog is closed.
    // Rejected at once, unshown, when no thread can be made.
    int exec() override;
    // The worker's error flag after exec().
    bool failed() const { return m_failed; }

    QListWidget* lineList() const { return m_lines; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void reject() override;

private:
    void addLine(const QString& line);
    void onFinished();

    Quenrix::SearchEmptyFolderJob& m_job;
    QXPrompt& m_prompt;
    bool m_unattended;
    std::unique_ptr<QXQtProgressSink> m_sink;
    std::unique_ptr<Quenrix::SearchEmptyFolderRemoveThread> m_worker;
    QListWidget* m_lines = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_running = false;
    bool m_done = false;
    bool m_failed = false;
};

}  // namespace quenrix
