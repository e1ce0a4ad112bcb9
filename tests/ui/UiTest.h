// Registration of the QtTest classes of the window tests: every test file declares its
// QObject test classes with QX_UI_TEST(Class), and ui_main.cpp runs them all in one
// QApplication (offscreen).
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace quenrix::test {

using UiTestFactory = std::function<std::unique_ptr<QObject>()>;
std::vector<UiTestFactory>& uiTests();

struct UiTestRegistration {
    explicit UiTestRegistration(UiTestFactory f) { uiTests().push_back(std::move(f)); }
};

}  // namespace quenrix::test

#define QX_UI_TEST(Class)                                                   \
    static ::quenrix::test::UiTestRegistration qxUiTestRegistration##Class( \
        [] { return std::unique_ptr<QObject>(new Class); })
