// The main form on its own, over a fresh document, folder history and scripted prompt,
// for the window tests that drive the form without a frame.
#pragma once

#include <QPushButton>
#include <QtTest>

#include "doc/CQuenrixDoc.h"
#include "doc/QXFolderHistory.h"
#include "support/Recorders.h"
#include "view/ui/CQuenrixView.h"

namespace quenrix::test {

struct FormFixture {
    CQuenrixDoc doc;
    QXFolderHistory history;
    ScriptedPrompt prompt;
    CQuenrixView view{doc, history, prompt};

    // The form's control with the given id; a missing one ends the test run.
    template <class W = QPushButton>
    W* control(int id) {
        W* w = view.findChild<W*>(QStringLiteral("c%1").arg(id));
        if (!w) qFatal("no control c%d", id);
        return w;
    }
    void click(int id) { QTest::mouseClick(control(id), Qt::LeftButton); }
};

}  // namespace quenrix::test
