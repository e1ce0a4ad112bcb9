// The sizes of the result list's thumbnails: the row height the サムネイル switch and
// the slider give, the width of the thumbnail column, the size a picture is drawn at in
// its cell, and the size a thumbnail is kept at. Plain integer arithmetic, no Qt.
// Thread-safe: pure functions.
#pragma once

#include <cstdint>

namespace quenrix {

// The slider's range and start position (not saved).
constexpr int32_t kThumbSliderMin = 1;
constexpr int32_t kThumbSliderMax = 40;
constexpr int32_t kThumbSliderStart = 10;
// Thumbnail rows are never lower than this.
constexpr int32_t kThumbMinRowHeight = 40;
// The thumbnail column's width without a fixed row height.
constexpr int32_t kThumbPlainColumnWidth = 64;
// No side of a kept thumbnail exceeds this, whatever the display size setting says.
constexpr int32_t kThumbKeepSideLimit = 2048;

struct QXThumbSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const QXThumbSize&) const = default;
};

// The fixed row height: with thumbnails shown the larger of position × dispSize / 20 and
// 40; without, -1 (the font decides).
int32_t thumbRowHeight(bool show, int32_t position, int32_t dispSize);

// The thumbnail column's width for a fixed row height (-1: none).
int32_t thumbColumnWidth(int32_t rowHeight);

// The size a width × height picture is drawn at in a cell of cellWidth × cellHeight that
// keeps `margin` free on every side: shrunk to the width, then to the height, both
// keeping the proportions; with zoomIn a smaller picture is enlarged until it touches a
// side. {0, 0} when nothing can be drawn.
QXThumbSize fitThumbnail(int32_t width, int32_t height, int32_t cellWidth, int32_t cellHeight,
                         int32_t margin, bool zoomIn);

// The largest size a thumbnail is kept at: twice the largest cell the slider allows for
// this display size (each side at most kThumbKeepSideLimit).
QXThumbSize thumbKeepLimit(int32_t dispSize);

// A width × height picture scaled down, proportions kept, to fit within `limit` (each
// side at least 1); unchanged when it fits.
QXThumbSize shrinkToLimit(int32_t width, int32_t height, QXThumbSize limit);

}  // namespace quenrix
