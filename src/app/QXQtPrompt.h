// Message boxes through QMessageBox, owned by a given window. Callable from any thread:
// a call from a worker blocks until the box, shown on the user-interface thread, is
// answered.
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

private:
    QXAnswer show(const std::wstring& text, const std::wstring& caption, QXIcon icon,
                  QXButtons buttons);
    QPointer<QWidget> m_owner;
};

}  // namespace quenrix
