// The main window of the program. Owned by the application object; user-interface
// thread only.
#pragma once

#include <QMainWindow>

namespace quenrix {

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
};

}  // namespace quenrix
