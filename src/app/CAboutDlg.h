// The About box: the application icon, the program's name and version, and OK. Shown
// modally by the main frame; user-interface thread only.
#pragma once

#include <QDialog>

namespace quenrix {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kVersionText = "Quenrix Version 1.20.2";

    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace quenrix
