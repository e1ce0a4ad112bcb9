// Message boxes and questions, as the core asks them. The user interface implements it
// with QMessageBox; tests script the answers; an unattended run without a display logs
// the text and answers as a box closed without a choice. May be called from a worker
// thread (a box shown during a search belongs to the progress dialog's thread):
// implementations marshal to their own thread.
#pragma once

#include <string>

namespace quenrix {

enum class QXIcon { None, Error, Warning, Information, Question };
enum class QXButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class QXAnswer { Ok, Cancel, Yes, No };

class QXPrompt {
public:
    virtual ~QXPrompt() = default;
    // An empty caption means the application's name ("Quenrix").
    virtual QXAnswer messageBox(const std::wstring& text, const std::wstring& caption, QXIcon icon,
                                QXButtons buttons = QXButtons::Ok) = 0;
};

}  // namespace quenrix
