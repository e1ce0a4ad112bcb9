// Message boxes through QMessageBox, owned by a given window. Callable from any thread:
// a call from a worker blocks until the box, shown on the user-interface thread, is
// answered.
//
// An unattended run without a display switches every prompt of the process to the log
// (setLogOnly): a box is then written to the log and answered at once as if it had been
// closed without a choice (OK, Cancel or No), so nothing ever waits for a click and no
// question is ever answered yes on the user's behalf. Boxes with the error icon are
// counted in either mode; the unattended run reads the count for its exit status.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "core/QXPrompt.h"

namespace quenrix {

class QXQtPrompt : public QObject, public QXPrompt {
    Q_OBJECT
public:
    explicit QXQtPrompt(QWidget* owner = nullptr);
    void setOwner(QWidget* owner) { m_owner = owner; }

    QXAnswer messageBox(const std::wstring& text, const std::wstring& caption, QXIcon icon,
                        QXButtons buttons = QXButtons::Ok) override;

    // Process-wide; set before any prompt is used, on the user-interface thread.
    static void setLogOnly(bool logOnly);
    static bool logOnly();
    // Error boxes shown or logged since the last reset; any thread.
    static int errorBoxes();
    static void resetErrorBoxes();
    // Writes a box to the log as the log-only mode does ("MessageBox [caption] text").
    static void logBox(const std::wstring& text, const std::wstring& caption);

private:
    QXAnswer show(const std::wstring& text, const std::wstring& caption, QXIcon icon,
                  QXButtons buttons);
    QPointer<QWidget> m_owner;
};

}  // namespace quenrix
