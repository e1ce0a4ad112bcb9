// The log window "Quenrix - Log": a top-level frame holding a CLogView, with the menus
// ファイル > 閉じる (which ends the whole program) and an empty 編集. Its close box
// closes the log window alone; it deletes itself when closed and never keeps the
// program running by itself. User-interface thread only.
#pragma once

#include <QMainWindow>

namespace quenrix {

class CLogView;

class CLogFrm : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Quenrix - Log";

    explicit CLogFrm(QWidget* parent = nullptr);

    CLogView* view() const { return m_view; }

signals:
    // ファイル > 閉じる: the program is to end.
    void exitRequested();

private:
    CLogView* m_view = nullptr;
};

}  // namespace quenrix
