// What keeps an unattended run without a display from waiting for a click: the prompts
// write their boxes to the log, and the guard closes any other box or dialog.
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/QXAutoRun.h"
#include "app/QXQtPrompt.h"
#include "core/QXLog.h"

namespace quenrix {
namespace {

// Made on first use and kept to the end of the process (Qt objects must not be destroyed
// after the application object).
QApplication& application() {
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "quenrix_app_tests";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

std::vector<std::wstring> loggedMessages() {
    std::vector<std::wstring> messages;
    for (const std::wstring& line : QXLog::takeQueued()) {
        messages.push_back(line.substr(line.find(L"> ") + 2));
    }
    return messages;
}

// Runs `body` with a deadline: a dialog left waiting fails the test instead of hanging it.
template <class Body>
void withDeadline(Body body) {
    bool timedOut = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&timedOut] {
        timedOut = true;
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    deadline.start(5000);
    body();
    EXPECT_FALSE(timedOut) << "a dialog waited for the user";
}

class UnattendedPromptTest : public testing::Test {
protected:
    UnattendedPromptTest() {
        application();
        QXLog::clearQueue();
        QXQtPrompt::resetErrorBoxes();
        QXUnattendedGuard::resetClosedDialogs();
    }
    ~UnattendedPromptTest() override {
        QXQtPrompt::setLogOnly(false);
        QXLog::clearQueue();
    }
};

TEST_F(UnattendedPromptTest, LogOnlyBoxesAreLoggedAndNeverConsent) {
    QXQtPrompt::setLogOnly(true);
    QXQtPrompt prompt;
    const struct {
        QXButtons buttons;
        QXAnswer answer;
    } cases[] = {
        {QXButtons::Ok, QXAnswer::Ok},
        {QXButtons::OkCancel, QXAnswer::Cancel},
        {QXButtons::YesNo, QXAnswer::No},
        {QXButtons::YesNoCancel, QXAnswer::Cancel},
    };
    withDeadline([&] {
        for (const auto& c : cases) {
            EXPECT_EQ(prompt.messageBox(L"よろしいですか？", L"確認", QXIcon::Question, c.buttons),
                      c.answer)
                << int(c.buttons);
        }
    });
    EXPECT_EQ(QXQtPrompt::errorBoxes(), 0);

    prompt.messageBox(L"エラーが発生しました", L"Error", QXIcon::Error);
    prompt.messageBox(L"100% done", L"", QXIcon::None);
    EXPECT_EQ(QXQtPrompt::errorBoxes(), 1);
    const std::vector<std::wstring> messages = loggedMessages();
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0], L"MessageBox [確認] よろしいですか？");
    EXPECT_EQ(messages[4], L"MessageBox [Error] エラーが発生しました");
    // Text is an argument, never a format; no caption is the application's name.
    EXPECT_EQ(messages[5], L"MessageBox [Quenrix] 100% done");
}

TEST_F(UnattendedPromptTest, GuardClosesForeignBoxesAndDialogs) {
    QXUnattendedGuard guard;
    application().installEventFilter(&guard);
    withDeadline([] {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Script"),
                        QStringLiteral("スクリプトエラー"), QMessageBox::Ok);
        box.exec();
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("オプション"));
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    });
    application().removeEventFilter(&guard);
    EXPECT_EQ(QXUnattendedGuard::closedDialogs(), 2);
    const std::vector<std::wstring> messages = loggedMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], L"MessageBox [Script] スクリプトエラー");
    EXPECT_NE(messages[1].find(L"オプション"), std::wstring::npos);
}

}  // namespace
}  // namespace quenrix
