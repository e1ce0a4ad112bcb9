// Small picture files for the image tests, written into a test's temporary folder: a
// picture made with OpenCV, files of the test plug-in's QXPIC format, hand-made headers
// that claim huge sizes, and the test plug-in's folder loaded into the program's host.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "support/TempDir.h"
#include "tovy/TovUtf8.h"
#include "tovy/support_susie/PluginManager.h"

namespace quenrix::test {

// A picture of `width` × `height` whose pixel (x, y) is blue x, green y, red 200
// (modulo 256), written by OpenCV in the format of the name's extension.
inline std::string writePicture(const TempDir& dir, const std::string& name, int width,
                                int height) {
    cv::Mat image(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.at<cv::Vec3b>(y, x) = cv::Vec3b(x % 256, y % 256, 200);
    }
    const std::string path = dir / name;
    EXPECT_TRUE(cv::imwrite(path, image)) << path;
    return path;
}

inline void appendLe32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}
inline void appendBe32(std::string& out, uint32_t v) {
    for (int i = 3; i >= 0; --i) out += char((v >> (8 * i)) & 0xFF);
}

// A QXPIC file (the test plug-in's format): pixel (x, y) is blue x, green y, red 7.
// `withPixels` false leaves the pixels out (a header only).
inline std::string qxpicBytes(uint32_t width, uint32_t height, bool withPixels = true) {
    std::string out = "QXPIC";
    appendLe32(out, width);
    appendLe32(out, height);
    if (withPixels) {
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                out += char(x & 0xFF);
                out += char(y & 0xFF);
                out += char(7);
            }
        }
    }
    return out;
}

inline uint32_t crc32Of(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// The signature and IHDR chunk of a PNG claiming that size, and nothing else.
inline std::string pngHeaderBytes(uint32_t width, uint32_t height) {
    std::string chunk = "IHDR";
    appendBe32(chunk, width);
    appendBe32(chunk, height);
    chunk += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    std::string out("\x89PNG\r\n\x1a\n", 8);
    appendBe32(out, 13);
    out += chunk;
    appendBe32(out, crc32Of(chunk));
    return out;
}

// A complete 8-bit grey TIFF picture of one value whose strips of 16 rows all point to
// the same bytes, so even a very large one is a small file. stb_image does not read
// TIFF; OpenCV does.
inline std::string tiffSharedStrips(uint32_t width, uint32_t height, uint8_t value) {
    constexpr uint32_t kRows = 16;
    const uint32_t strips = (height + kRows - 1) / kRows;
    const uint16_t kEntries = 10;
    const uint32_t offsets = 8 + 2 + kEntries * 12 + 4;
    const uint32_t counts = offsets + 4 * strips;
    const uint32_t data = counts + 4 * strips;
    std::string out("II*\0", 4);
    appendLe32(out, 8);
    out += char(kEntries & 0xFF);
    out += char(kEntries >> 8);
    auto entry = [&out](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
        out += char(tag & 0xFF);
        out += char(tag >> 8);
        out += char(type & 0xFF);
        out += char(type >> 8);
        appendLe32(out, count);
        appendLe32(out, value);
    };
    constexpr uint16_t kShort = 3, kLong = 4;
    entry(256, kLong, 1, width);
    entry(257, kLong, 1, height);
    entry(258, kShort, 1, 8);  // bits per sample
    entry(259, kShort, 1, 1);  // no compression
    entry(262, kShort, 1, 1);  // black is zero
    entry(273, kLong, strips, strips == 1 ? data : offsets);
    entry(277, kShort, 1, 1);  // samples per pixel
    entry(278, kLong, 1, kRows);
    entry(279, kLong, strips, strips == 1 ? kRows * width : counts);
    entry(284, kShort, 1, 1);  // contiguous
    appendLe32(out, 0);        // no further picture
    if (strips > 1) {
        for (uint32_t i = 0; i < strips; ++i) appendLe32(out, data);
        for (uint32_t i = 0; i < strips; ++i) appendLe32(out, kRows * width);
    }
    return out + std::string(size_t(kRows) * width, char(value));
}

// The bomb fixture under the name the thumbnail tests first used; the content is the
// TIFF picture above whatever the file is called (OpenCV goes by the content).
inline std::string sunRasterRle(uint32_t width, uint32_t height, uint8_t value) {
    return tiffSharedStrips(width, height, value);
}

// The test plug-in's folder (qxpic.sph and the broken plug-in) in the program's host
// while it lives.
class TestPlugins {
public:
    TestPlugins() {
        auto& host = tovy::support_susie::pluginHost();
        host.Create();
        host.UnloadAll();
        EXPECT_TRUE(host.LoadFolder(tovy::fromUtf8(QUENRIX_TEST_PLUGIN_DIR)));
    }
    ~TestPlugins() { tovy::support_susie::pluginHost().UnloadAll(); }
    TestPlugins(const TestPlugins&) = delete;
    TestPlugins& operator=(const TestPlugins&) = delete;

    // How often the loaded qxpic.sph was asked for GetPictureInfo, and the length it was
    // given last.
    static int infoCalls() { return call<int>("QxpicInfoCalls"); }
    static long long lastInfoLength() { return call<long long>("QxpicLastInfoLength"); }

private:
    template <class R>
    static R call(const char* name) {
        const std::string path = std::string(QUENRIX_TEST_PLUGIN_DIR) + "/qxpic.sph";
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (!module) return R(-1);
        auto fn = reinterpret_cast<R (*)()>(::dlsym(module, name));
        const R value = fn ? fn() : R(-1);
        ::dlclose(module);
        return value;
    }
};

}  // namespace quenrix::test
