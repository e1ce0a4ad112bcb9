#include "app/CMainFrame.h"

namespace quenrix {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Quenrix"));
    resize(800, 600);
}

}  // namespace quenrix
