// Registration of the QtTest classes of the window tests: every test file declares its
// QObject test classes with QX_UI_TEST(Class), and ui_main.cpp runs them all in one
// QApplication (offscreen).
#pragma once

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QObject>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

namespace quenrix::test {

using UiTestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<UiTestFactory>& uiTests();

struct UiTestRegistration {
    explicit UiTestRegistration(UiTestFactory f) { uiTests().push_back(std::move(f)); }
};

// While it lives, calls `handle` with the first modal window that opens, so a test can
// read and close a box that exec() is showing. Scoped to one test, so a test that fails
// before its box opens leaves nothing behind that could close another test's window.
class ModalHandler {
public:
    explicit ModalHandler(std::function<void(QWidget*)> handle) : m_handle(std::move(handle)) {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                m_timer.stop();
                m_handle(modal);
            }
        });
        m_timer.start();
    }

private:
    std::function<void(QWidget*)> m_handle;
    QTimer m_timer;
};

// Runs `step` on the next modal widget other than `after`, from a timer of the modal's
// event loop; gives up after a few seconds or once *armed is false.
inline void whenModal(std::function<void(QWidget*)> step, QWidget* after = nullptr,
                      std::shared_ptr<bool> armed = std::make_shared<bool>(true), int tries = 500) {
    QTimer::singleShot(10, [step = std::move(step), after, armed, tries]() mutable {
        if (!*armed || tries == 0) return;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == after) return whenModal(std::move(step), after, armed, tries - 1);
        step(modal);
    });
}

// Runs `step` on the next popup menu.
inline void whenPopup(std::function<void(QMenu*)> step, int tries = 500) {
    QTimer::singleShot(10, [step = std::move(step), tries]() mutable {
        if (tries == 0) return;
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return whenPopup(std::move(step), tries - 1);
        step(menu);
    });
}

// The control with the given id ("c<id>") below `parent`; a missing one ends the test run.
template <class W>
W* control(QWidget* parent, int id) {
    W* w = parent->findChild<W*>(QStringLiteral("c%1").arg(id));
    if (!w) qFatal("no control c%d in %s", id, qPrintable(parent->windowTitle()));
    return w;
}

// Presses OK on a shown dialog expecting a refusal: "caption|text|icon" of the box it
// shows (closed here), with "|closed" appended when the dialog did not stay open.
inline QString refusedOk(QWidget* dlg) {
    QString seen = QStringLiteral("(no box)");
    auto armed = std::make_shared<bool>(true);
    whenModal(
        [&seen](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            seen = box ? box->windowTitle() + u'|' + box->text() + u'|' +
                             QString::number(int(box->icon()))
                       : QStringLiteral("(not a box)");
            w->close();
        },
        dlg, armed);
    control<QPushButton>(dlg, 1)->click();
    *armed = false;
    if (!dlg->isVisible()) seen += QStringLiteral("|closed");
    return seen;
}

}  // namespace quenrix::test

#define QX_UI_TEST(Class)                                                   \
    static ::quenrix::test::UiTestRegistration qxUiTestRegistration##Class( \
        [] { return std::unique_ptr<QObject>(new Class); })
