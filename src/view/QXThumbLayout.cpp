#include "view/QXThumbLayout.h"

#include <algorithm>

namespace quenrix {

namespace {

// Row heights beyond this are settings typed in error; they are cut here so that the
// arithmetic below cannot overflow and the list stays usable.
constexpr int64_t kRowHeightLimit = 32767;

}  // namespace

int32_t thumbRowHeight(bool show, int32_t position, int32_t dispSize) {
    if (!show) return -1;
    const int64_t height = int64_t(position) * int64_t(dispSize) / 20;
    return int32_t(std::clamp<int64_t>(height, kThumbMinRowHeight, kRowHeightLimit));
}

int32_t thumbColumnWidth(int32_t rowHeight) {
    return rowHeight > 0 ? rowHeight + 48 : kThumbPlainColumnWidth;
}

QXThumbSize fitThumbnail(int32_t width, int32_t height, int32_t cellWidth, int32_t cellHeight,
                         int32_t margin, bool zoomIn) {
    const int64_t cw = int64_t(cellWidth) - 2 * int64_t(margin);
    const int64_t ch = int64_t(cellHeight) - 2 * int64_t(margin);
    if (width <= 0 || height <= 0 || cw <= 0 || ch <= 0) return {};
    int64_t w = width;
    int64_t h = height;
    if (w > cw) {
        h = h * cw / w;
        w = cw;
    }
    if (h > ch) {
        w = w * ch / h;
        h = ch;
    }
    if (zoomIn && w < cw && h < ch && w > 0 && h > 0) {
        const double factor = std::min(double(cw - w) / double(w), double(ch - h) / double(h));
        w += int64_t(double(w) * factor);
        h += int64_t(double(h) * factor);
    }
    // A sliver of a panorama still gets one line.
    return {int32_t(std::max<int64_t>(w, 1)), int32_t(std::max<int64_t>(h, 1))};
}

QXThumbSize thumbKeepLimit(int32_t dispSize) {
    const int64_t row = thumbRowHeight(true, kThumbSliderMax, dispSize);
    const int64_t column = thumbColumnWidth(int32_t(row));
    return {int32_t(std::min<int64_t>(2 * column, kThumbKeepSideLimit)),
            int32_t(std::min<int64_t>(2 * row, kThumbKeepSideLimit))};
}

QXThumbSize shrinkToLimit(int32_t width, int32_t height, QXThumbSize limit) {
    if (width <= 0 || height <= 0 || limit.width <= 0 || limit.height <= 0) return {};
    if (width <= limit.width && height <= limit.height) return {width, height};
    int64_t w = width;
    int64_t h = height;
    // The side that overshoots more decides the factor.
    if (w * limit.height >= h * limit.width) {
        h = h * limit.width / w;
        w = limit.width;
    } else {
        w = w * limit.height / h;
        h = limit.height;
    }
    return {int32_t(std::max<int64_t>(w, 1)), int32_t(std::max<int64_t>(h, 1))};
}

}  // namespace quenrix
