// A caption bar of the main form: white text on a dark grey gradient that runs from
// left to right, without a border. User-interface thread only.
#pragma once

#include <QLabel>

namespace quenrix {

class CLabel : public QLabel {
    Q_OBJECT
public:
    explicit CLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quenrix
