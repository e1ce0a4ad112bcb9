// インポート: the open-file dialog of the CSV import with its 文字エンコーディング : choice
// (SJIS, UTF-8), which it remembers for the next import of the session.
// User-interface thread only.
#pragma once

#include <QString>

#include "view/QXCsv.h"

class QWidget;

namespace quenrix {

class CXFileDialog {
public:
    // Shows the dialog (filters csv(*.csv) and all(*.*)); false on cancel. The path is
    // native bytes.
    static bool getOpenFileName(QWidget* parent, std::string& path, QXCsvEncoding& encoding);
    // The encoding the next dialog starts with (SJIS until one was chosen).
    static QXCsvEncoding lastEncoding();
};

}  // namespace quenrix
