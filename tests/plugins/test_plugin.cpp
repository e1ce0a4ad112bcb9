// A picture plug-in for the tests. It reads "QXPIC" files: the five letters, the width
// and the height as 32-bit little-endian numbers, then the pixels top-down as blue,
// green, red bytes without padding. It accepts a file by that signature or by a name
// ending in ".qxpic" (so that an empty file of that name reaches the host's own checks),
// and hands its pictures back as bottom-up 24-bit bitmaps with padded rows.
//
// Built twice: as qxpic.sph, and with QXPIC_WITHOUT_GET_PICTURE as a plug-in that lacks
// one of the four exports. QxpicInfoCalls and QxpicLastInfoLength let a test see what
// the host handed to GetPictureInfo.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tovy/support_susie/PluginManager.h"

namespace {

using tovy::support_susie::BitmapInfoHeader;
using tovy::support_susie::PictureInfo;

constexpr int kOk = 0;
constexpr int kUnknownFormat = 2;
constexpr int kBrokenData = 3;
constexpr int kNoMemory = 4;
constexpr size_t kHeaderSize = 13;

int g_infoCalls = 0;
long long g_lastInfoLength = -1;

uint32_t readLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The file's bytes: from memory (flag 1) or from the named file (flag 0).
bool input(const char* buf, intptr_t len, unsigned int flag, std::vector<uint8_t>& out) {
    if ((flag & 7) == 1) {
        if (len < 0) return false;
        out.assign(reinterpret_cast<const uint8_t*>(buf),
                   reinterpret_cast<const uint8_t*>(buf) + len);
        return true;
    }
    FILE* f = std::fopen(buf, "rb");
    if (!f) return false;
    uint8_t block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) out.insert(out.end(), block, block + n);
    std::fclose(f);
    return true;
}

bool parse(const std::vector<uint8_t>& data, uint32_t* width, uint32_t* height) {
    if (data.size() < kHeaderSize || std::memcmp(data.data(), "QXPIC", 5) != 0) return false;
    *width = readLe32(data.data() + 5);
    *height = readLe32(data.data() + 9);
    return *width > 0 && *height > 0;
}

}  // namespace

extern "C" {

int GetPluginInfo(int infoNo, char* buf, int bufLen) {
    const char* texts[] = {"00IN", "QXPIC test plug-in", "*.qxpic", "QXPIC pictures"};
    if (infoNo < 0 || infoNo > 3 || bufLen <= 0) return 0;
    std::snprintf(buf, size_t(bufLen), "%s", texts[infoNo]);
    return int(std::strlen(buf));
}

int IsSupported(const char* fileName, void* header) {
    const std::string name = fileName ? fileName : "";
    if (name.size() >= 6 && name.compare(name.size() - 6, 6, ".qxpic") == 0) return 1;
    return header && std::memcmp(header, "QXPIC", 5) == 0 ? 1 : 0;
}

int GetPictureInfo(const char* buf, intptr_t len, unsigned int flag, PictureInfo* info) {
    ++g_infoCalls;
    g_lastInfoLength = len;
    std::vector<uint8_t> data;
    uint32_t width = 0, height = 0;
    if (!input(buf, len, flag, data)) return kBrokenData;
    if (!parse(data, &width, &height)) return kUnknownFormat;
    info->left = 0;
    info->top = 0;
    info->width = int32_t(width);
    info->height = int32_t(height);
    info->colorDepth = 24;
    // A text block, as plug-ins may return; the host frees it.
    info->hInfo = static_cast<char*>(std::malloc(16));
    if (info->hInfo) std::snprintf(info->hInfo, 16, "qxpic");
    return kOk;
}

#ifndef QXPIC_WITHOUT_GET_PICTURE
int GetPicture(const char* buf, intptr_t len, unsigned int flag, void** bitmapInfo, void** bits,
               int (*progress)(int, int, intptr_t), intptr_t userData) {
    std::vector<uint8_t> data;
    uint32_t width = 0, height = 0;
    if (!input(buf, len, flag, data)) return kBrokenData;
    if (!parse(data, &width, &height)) return kUnknownFormat;
    if (data.size() < kHeaderSize + size_t(width) * height * 3) return kBrokenData;
    if (progress && progress(0, 1, userData) != 0) return 1;
    const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    auto* header = static_cast<BitmapInfoHeader*>(std::calloc(1, sizeof(BitmapInfoHeader)));
    auto* pixels = static_cast<uint8_t*>(std::calloc(stride, height));
    if (!header || !pixels) {
        std::free(header);
        std::free(pixels);
        return kNoMemory;
    }
    header->biSize = sizeof(BitmapInfoHeader);
    header->biWidth = int32_t(width);
    header->biHeight = int32_t(height);  // bottom-up
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biSizeImage = uint32_t(stride * height);
    for (uint32_t y = 0; y < height; ++y) {
        std::memcpy(pixels + (height - 1 - y) * stride, data.data() + kHeaderSize + y * width * 3,
                    size_t(width) * 3);
    }
    *bitmapInfo = header;
    *bits = pixels;
    return kOk;
}
#endif

int QxpicInfoCalls() {
    return g_infoCalls;
}

long long QxpicLastInfoLength() {
    return g_lastInfoLength;
}

}  // extern "C"
