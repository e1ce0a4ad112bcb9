// The list in the log window: every 500 ms it moves the lines waiting in the log's
// window queue, oldest first, to its end and scrolls to the last line. It keeps nothing
// once closed; lines written while no log window exists appear when one opens.
// User-interface thread only.
#pragma once

#include <QListWidget>

class QTimer;

namespace quenrix {

class CLogView : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kPollMs = 500;

    explicit CLogView(QWidget* parent = nullptr);

private:
    void takeQueuedLines();

    QTimer* m_timer = nullptr;
};

}  // namespace quenrix
