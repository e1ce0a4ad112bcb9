#include "app/CLogFrm.h"

#include <QMenu>
#include <QMenuBar>

#include "app/CLogView.h"

namespace quenrix {

CLogFrm::CLogFrm(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);

    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル"));
    QAction* close = file->addAction(QStringLiteral("閉じる"));
    close->setObjectName(QStringLiteral("cmd57665"));
    connect(close, &QAction::triggered, this, &CLogFrm::exitRequested);
    menuBar()->addMenu(QStringLiteral("編集"));

    m_view = new CLogView(this);
    setCentralWidget(m_view);
    resize(640, 400);
}

}  // namespace quenrix
