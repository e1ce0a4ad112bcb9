#include "view/ui/CLabel.h"

#include <QPainter>

#include <algorithm>

namespace quenrix {

namespace {

constexpr int kFrom = 0x20;  // grey level at the left edge
constexpr int kTo = 0x40;    // grey level at the right edge
constexpr int kMaxBands = 100;

}  // namespace

CLabel::CLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setFrameShape(QFrame::NoFrame);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    // Solid bands rather than a smooth gradient: cheap and the same on every style.
    const int bands = std::clamp(r.width(), 1, kMaxBands);
    for (int i = 0; i < bands; ++i) {
        const int left = r.left() + r.width() * i / bands;
        const int right = r.left() + r.width() * (i + 1) / bands;
        const int grey = bands == 1 ? kFrom : kFrom + (kTo - kFrom) * i / (bands - 1);
        painter.fillRect(QRect(left, r.top(), right - left, r.height()), QColor(grey, grey, grey));
    }
    painter.setPen(Qt::white);
    painter.setFont(font());
    painter.drawText(r, int(alignment()) | Qt::TextSingleLine, text());
}

}  // namespace quenrix
