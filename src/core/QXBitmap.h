// A decoded picture as the program passes it around: top-down rows of 8-bit blue, green,
// red triples, each row padded to a multiple of 4 bytes (the layout of a 24-bit top-down
// DIB). The window wraps it in a QImage to draw; the core never needs a display.
// A plain value: copy or move it freely, no thread rules beyond those of its owner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quenrix {

struct QXBitmap {
    int32_t width = 0;
    int32_t height = 0;
    int32_t stride = 0;  // bytes per row, a multiple of 4, at least width * 3
    std::vector<uint8_t> bits;

    bool empty() const { return width <= 0 || height <= 0 || bits.empty(); }
    static int32_t strideFor(int32_t width) { return (width * 3 + 3) & ~3; }
    // A zeroed bitmap of that size (empty when a side is not positive).
    static QXBitmap make(int32_t width, int32_t height) {
        QXBitmap b;
        if (width <= 0 || height <= 0) return b;
        b.width = width;
        b.height = height;
        b.stride = strideFor(width);
        b.bits.assign(size_t(b.stride) * size_t(height), 0);
        return b;
    }
    uint8_t* row(int32_t y) { return bits.data() + size_t(y) * size_t(stride); }
    const uint8_t* row(int32_t y) const { return bits.data() + size_t(y) * size_t(stride); }
};

}  // namespace quenrix
