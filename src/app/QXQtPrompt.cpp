#include "app/QXQtPrompt.h"

#include <QMessageBox>
#include <QThread>

#include <atomic>

#include "core/QXLog.h"
#include "core/ui/QtText.h"

namespace quenrix {

namespace {

std::atomic<bool> g_logOnly{false};
std::atomic<int> g_errorBoxes{0};

QMessageBox::Icon boxIcon(QXIcon icon) {
    switch (icon) {
        case QXIcon::Error:
            return QMessageBox::Critical;
        case QXIcon::Warning:
            return QMessageBox::Warning;
        case QXIcon::Information:
            return QMessageBox::Information;
        case QXIcon::Question:
            return QMessageBox::Question;
        case QXIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// The buttons, the one that is the default (the first, as a Windows box has it), and the
// answer when the box is closed without a button (Esc or the close box).
struct ButtonSet {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
    QXAnswer dismissed;
};

ButtonSet buttonSet(QXButtons buttons) {
    switch (buttons) {
        case QXButtons::Ok:
            break;
        case QXButtons::OkCancel:
            return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QXAnswer::Cancel};
        case QXButtons::YesNo:
            return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QXAnswer::No};
        case QXButtons::YesNoCancel:
            return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes,
                    QXAnswer::Cancel};
    }
    return {QMessageBox::Ok, QMessageBox::Ok, QXAnswer::Ok};
}

}  // namespace

QXQtPrompt::QXQtPrompt(QWidget* owner) : m_owner(owner) {}

void QXQtPrompt::setLogOnly(bool logOnly) {
    g_logOnly.store(logOnly);
}

bool QXQtPrompt::logOnly() {
    return g_logOnly.load();
}

int QXQtPrompt::errorBoxes() {
    return g_errorBoxes.load();
}

void QXQtPrompt::resetErrorBoxes() {
    g_errorBoxes.store(0);
}

void QXQtPrompt::logBox(const std::wstring& text, const std::wstring& caption) {
    const std::wstring title = caption.empty() ? L"Quenrix" : caption;
    QXLog::Write(L"MessageBox [%s] %s", title.c_str(), text.c_str());
}

QXAnswer QXQtPrompt::messageBox(const std::wstring& text, const std::wstring& caption, QXIcon icon,
                                QXButtons buttons) {
    if (icon == QXIcon::Error) g_errorBoxes.fetch_add(1);
    if (logOnly()) {
        logBox(text, caption);
        return buttonSet(buttons).dismissed;
    }
    if (QThread::currentThread() == thread()) return show(text, caption, icon, buttons);
    QXAnswer answer = buttonSet(buttons).dismissed;
    QMetaObject::invokeMethod(
        this, [&] { answer = show(text, caption, icon, buttons); }, Qt::BlockingQueuedConnection);
    return answer;
}

QXAnswer QXQtPrompt::show(const std::wstring& text, const std::wstring& caption, QXIcon icon,
                          QXButtons buttons) {
    const ButtonSet set = buttonSet(buttons);
    const QString title = caption.empty() ? QStringLiteral("Quenrix") : toQtText(caption);
    QMessageBox box(boxIcon(icon), title, toQtText(text), set.buttons, m_owner.data());
    box.setDefaultButton(set.defaultButton);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return QXAnswer::Ok;
        case QMessageBox::Cancel:
            return QXAnswer::Cancel;
        case QMessageBox::Yes:
            return QXAnswer::Yes;
        case QMessageBox::No:
            return QXAnswer::No;
        default:
            return set.dismissed;
    }
}

}  // namespace quenrix
