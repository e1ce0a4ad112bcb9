#include <QApplication>
#include <QtTest>

#include "platform/Text.h"
#include "rule/ui/QXRuleEditors.h"
#include "support/TestEnv.h"
#include "ui/UiTest.h"

namespace quenrix::test {

std::vector<UiTestFactory>& uiTests() {
    static std::vector<UiTestFactory> tests;
    return tests;
}

}  // namespace quenrix::test

int main(int argc, char** argv) {
    quenrix::test::setUpTestEnvironment();
    QApplication app(argc, argv);
    platform::initLocale();
    quenrix::registerRuleEditors();
    // QUENRIX_UI_TEST_CLASS runs one test class only.
    const QByteArray only = qgetenv("QUENRIX_UI_TEST_CLASS");
    int failures = 0;
    for (const auto& make : quenrix::test::uiTests()) {
        std::unique_ptr<QObject> test = make();
        if (!only.isEmpty() && only != test->metaObject()->className()) continue;
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
