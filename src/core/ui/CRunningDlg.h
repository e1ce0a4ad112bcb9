// The progress dialog of a search ("しばらくお待ちください"): Status, Rule and File lines,
// the Total and Task bars with their percentage texts, and Cancel. When it opens it starts
// the worker; Cancel (button or Esc) sets the worker's cancel flag and disables itself;
// when the worker reports that it has finished, the dialog waits for the thread to end
// and closes. User-interface thread only.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quenrix {

class QXHandleThread;
class QXQtProgressSink;

class CRunningDlg : public QDialog {
    Q_OBJECT
public:
    // `sink` is the sink the worker was made with.
    CRunningDlg(QXHandleThread& worker, QXQtProgressSink& sink, QWidget* parent = nullptr);

    // Shows the dialog modally, runs the worker and returns after its thread has ended
    // (Accepted). When no thread can be made it returns Rejected at once, unshown.
    int exec() override;

    // For tests.
    QLabel* statusLine() const { return m_status; }
    QLabel* ruleLine() const { return m_rule; }
    QLabel* fileLine() const { return m_file; }
    QProgressBar* totalBar() const { return m_total; }
    QProgressBar* taskBar() const { return m_task; }
    QLabel* totalText() const { return m_totalText; }
    QLabel* taskText() const { return m_taskText; }
    QPushButton* cancelButton() const { return m_cancel; }

protected:
    void reject() override;  // Esc and the close box: same as Cancel

private:
    void onCancel();
    void onFinished();

    QXHandleThread& m_worker;
    QXQtProgressSink& m_sink;
    QLabel* m_status = nullptr;
    QLabel* m_rule = nullptr;
    QLabel* m_file = nullptr;
    QProgressBar* m_total = nullptr;
    QLabel* m_totalText = nullptr;
    QProgressBar* m_task = nullptr;
    QLabel* m_taskText = nullptr;
    QPushButton* m_cancel = nullptr;
    bool m_running = false;  // between start() and the end of exec()
    bool m_done = false;     // the worker has reported finished and been joined
};

}  // namespace quenrix
