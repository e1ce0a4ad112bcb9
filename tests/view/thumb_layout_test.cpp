// The thumbnail sizes: row heights and column widths from the switch and the slider, the
// fit of a picture into its cell, and the size a thumbnail is kept at.
#include "view/QXThumbLayout.h"

#include <gtest/gtest.h>

#include <climits>

namespace quenrix {
namespace {

TEST(ThumbLayoutTest, RowHeightAndColumnWidth) {
    static const struct {
        bool show;
        int32_t position, dispSize;
        int32_t rowHeight, columnWidth;
    } cases[] = {
        {true, 10, 120, 60, 108},                           // the slider's start
        {true, 40, 120, 240, 288}, {true, 1, 120, 40, 88},  // below the minimum
        {true, 20, 120, 120, 168}, {true, 7, 121, 42, 90},  // 847 / 20, integer division
        {false, 10, 120, -1, 64},                           // the font decides
        {false, 40, 500, -1, 64},  {true, 40, 0, 40, 88},   // settings typed in error
        {true, 40, -300, 40, 88},  {true, 40, INT_MAX, 32767, 32815},
    };
    for (const auto& c : cases) {
        const int32_t height = thumbRowHeight(c.show, c.position, c.dispSize);
        EXPECT_EQ(height, c.rowHeight) << c.show << " " << c.position << " " << c.dispSize;
        EXPECT_EQ(thumbColumnWidth(height), c.columnWidth) << c.position << " " << c.dispSize;
    }
}

TEST(ThumbLayoutTest, FitIntoCell) {
    static const struct {
        const char* name;
        int32_t w, h, cellW, cellH, margin;
        bool zoomIn;
        QXThumbSize drawn;
    } cases[] = {
        {"to the width, then the height", 1000, 500, 200, 100, 8, false, {168, 84}},
        {"to the width only", 1000, 200, 200, 100, 8, false, {184, 36}},
        {"to the height only", 100, 500, 200, 100, 8, false, {16, 84}},
        {"small, not enlarged", 50, 50, 200, 100, 8, false, {50, 50}},
        {"small, enlarged to the height", 50, 50, 200, 100, 8, true, {84, 84}},
        {"small, enlarged to the width", 100, 10, 200, 100, 8, true, {184, 18}},
        {"exactly the inner size", 184, 84, 200, 100, 8, true, {184, 84}},
        {"a sliver keeps one line", 10000, 10, 200, 100, 8, false, {184, 1}},
        {"no margin", 400, 400, 100, 100, 0, false, {100, 100}},
        {"margins eat the cell", 50, 50, 16, 100, 8, false, {0, 0}},
        {"negative margin widens", 300, 300, 100, 100, -10, false, {120, 120}},
        {"no picture", 0, 50, 200, 100, 8, false, {0, 0}},
        {"huge picture, no overflow", INT_MAX, INT_MAX, 200, 100, 8, false, {84, 84}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fitThumbnail(c.w, c.h, c.cellW, c.cellH, c.margin, c.zoomIn), c.drawn) << c.name;
    }
}

TEST(ThumbLayoutTest, KeptSize) {
    // Twice the largest cell the slider allows: 288 x 240 at display size 120.
    EXPECT_EQ(thumbKeepLimit(120), (QXThumbSize{576, 480}));
    EXPECT_EQ(thumbKeepLimit(0), (QXThumbSize{176, 80}));  // the 40-unit rows
    EXPECT_EQ(thumbKeepLimit(INT_MAX), (QXThumbSize{2048, 2048}));

    static const struct {
        int32_t w, h;
        QXThumbSize kept;
    } cases[] = {
        {4000, 3000, {576, 432}},  // wider than the limit's shape: the width decides
        {3000, 4000, {360, 480}},  // taller: the height decides
        {1000, 500, {576, 288}},  {576, 480, {576, 480}},  // fits exactly
        {50, 50, {50, 50}},                                // small pictures stay as they are
        {100000, 10, {576, 1}},                            // a sliver keeps one line
        {0, 10, {0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shrinkToLimit(c.w, c.h, {576, 480}), c.kept) << c.w << "x" << c.h;
    }
}

}  // namespace
}  // namespace quenrix
