#include "tovy/support_susie/PluginManager.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tovy/TovUtf8.h"

namespace tovy::support_susie {

namespace {

constexpr unsigned int kInputIsMemory = 1;

extern "C" int keepGoing(int, int, intptr_t) {
    return 0;
}

bool endsWithSph(const std::string& name) {
    if (name.size() < 4) return false;
    const char* tail = name.c_str() + name.size() - 4;
    return tail[0] == '.' && (tail[1] | 0x20) == 's' && (tail[2] | 0x20) == 'p' &&
           (tail[3] | 0x20) == 'h';
}

// Bits of a channel under `mask`, scaled to 0..255.
uint8_t maskedChannel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = __builtin_ctz(mask);
    const uint32_t max = mask >> shift;
    return uint8_t(((value & mask) >> shift) * 255u / max);
}

}  // namespace

PluginEntry::~PluginEntry() {
    if (module) ::dlclose(module);
}

PluginManager::PluginManager() = default;

PluginManager::~PluginManager() {
    UnloadAll();
}

PluginManager& pluginHost() {
    static PluginManager host;
    return host;
}

bool PluginManager::Create() {
    if (!m_list) m_list = std::make_unique<List>();
    return true;
}

bool PluginManager::LoadFolder(const std::wstring& folder) {
    if (folder.empty() || !m_list) return false;
    std::string path = tovy::toUtf8(folder);
    if (path.empty()) return false;
    if (path.back() != '/') path += '/';
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return false;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!endsWithSph(name)) continue;
        struct stat st;
        if (::stat((path + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        names.push_back(name);
    }
    ::closedir(dir);
    // The listing's own order differs between file systems; the first plug-in that
    // accepts a file reads it, so the order has to be the same on every run.
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) LoadPlugin(tovy::fromUtf8(path + name));
    return true;
}

bool PluginManager::LoadPlugin(const std::wstring& path) {
    if (!m_list) return false;
    const std::string native = tovy::toUtf8(path);
    if (native.empty()) return false;
    void* module = ::dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) return false;
    auto entry = std::make_shared<PluginEntry>();
    entry->module = module;  // unloaded by the entry from here on
    entry->getPluginInfo = reinterpret_cast<GetPluginInfoProc>(::dlsym(module, "GetPluginInfo"));
    entry->isSupported = reinterpret_cast<IsSupportedProc>(::dlsym(module, "IsSupported"));
    entry->getPictureInfo = reinterpret_cast<GetPictureInfoProc>(::dlsym(module, "GetPictureInfo"));
    entry->getPicture = reinterpret_cast<GetPictureProc>(::dlsym(module, "GetPicture"));
    if (!entry->getPluginInfo || !entry->isSupported || !entry->getPictureInfo ||
        !entry->getPicture) {
        return false;
    }
    entry->path = path;
    std::fprintf(stderr, "[debug] SusiePlugin : \"%s\" loaded.\n", native.c_str());
    TovLock lock(m_list->mutex);
    m_list->entries.push_back(std::move(entry));
    return true;
}

void PluginManager::UnloadAll() {
    if (!m_list) return;
    std::vector<std::shared_ptr<const PluginEntry>> old;
    {
        TovLock lock(m_list->mutex);
        old.swap(m_list->entries);
    }
    // `old` unloads each plug-in that no call holds any more.
}

size_t PluginManager::pluginCount() const {
    if (!m_list) return 0;
    TovLock lock(m_list->mutex);
    return m_list->entries.size();
}

std::vector<std::wstring> PluginManager::pluginPaths() const {
    std::vector<std::wstring> paths;
    if (!m_list) return paths;
    TovLock lock(m_list->mutex);
    for (const auto& entry : m_list->entries) paths.push_back(entry->path);
    return paths;
}

std::shared_ptr<const PluginEntry> PluginManager::FindPlugin(const std::string& fileName,
                                                             const uint8_t* header) {
    if (!m_list) return nullptr;
    TovLock lock(m_list->mutex);
    for (const auto& entry : m_list->entries) {
        // The plug-in only reads the buffer, but the interface takes a plain pointer.
        if (entry->isSupported(fileName.c_str(), const_cast<uint8_t*>(header)) != 0) {
            return entry;
        }
    }
    return nullptr;
}

std::shared_ptr<const PluginEntry> PluginManager::pluginFor(const std::string& nativePath,
                                                            const platform::FileStat* expected,
                                                            PictureFile& file) {
    if (!m_list || nativePath.empty()) return nullptr;
    // Each call has a header buffer of its own, so calls on several threads share none.
    std::array<uint8_t, kHeaderBytes> header;
    if (!file.open(nativePath, expected) || !file.readHeader(header)) return nullptr;
    return FindPlugin(nativePath, header.data());
}

bool PluginManager::pictureInfo(const PluginEntry& plugin, const std::vector<uint8_t>& data,
                                int32_t* width, int32_t* height) {
    PictureInfo info;
    std::memset(&info, 0, sizeof info);
    int result;
    {
        TovLock lock(m_list->mutex);
        result = plugin.getPictureInfo(reinterpret_cast<const char*>(data.data()),
                                       intptr_t(data.size()), kInputIsMemory, &info);
    }
    if (info.hInfo) std::free(info.hInfo);
    if (result != 0) return false;
    *width = info.width;
    *height = info.height;
    return true;
}

bool PluginManager::ReadPictureSize(const std::wstring& path, int32_t* width, int32_t* height,
                                    const platform::FileStat* expected) {
    PictureFile file;
    auto plugin = pluginFor(tovy::toUtf8(path), expected, file);
    if (!plugin) return false;
    // An empty file is never handed to a plug-in (readAll refuses it).
    std::vector<uint8_t> data;
    if (!file.readAll(data)) return false;
    file.close();
    int32_t w = 0, h = 0;
    if (!pictureInfo(*plugin, data, &w, &h)) return false;
    if (!pictureSizeAllowed(w, h)) return false;
    *width = w;
    *height = h;
    return true;
}

std::optional<quenrix::QXBitmap> PluginManager::LoadPicture(const std::wstring& path,
                                                            BitmapInfoHeader* header,
                                                            const platform::FileStat* expected) {
    PictureFile file;
    auto plugin = pluginFor(tovy::toUtf8(path), expected, file);
    if (!plugin) return std::nullopt;
    std::vector<uint8_t> data;
    if (!file.readAll(data)) return std::nullopt;
    file.close();
    // The size first: a plug-in is never asked to decode a picture above the limit.
    int32_t w = 0, h = 0;
    if (!pictureInfo(*plugin, data, &w, &h) || !pictureSizeAllowed(w, h)) return std::nullopt;

    void* bitmapInfo = nullptr;
    void* bits = nullptr;
    int result;
    {
        TovLock lock(m_list->mutex);
        result =
            plugin->getPicture(reinterpret_cast<const char*>(data.data()), intptr_t(data.size()),
                               kInputIsMemory, &bitmapInfo, &bits, &keepGoing, 0);
    }
    std::optional<quenrix::QXBitmap> bitmap;
    if (result == 0 && bitmapInfo && bits) {
        bitmap = bitmapFromDib(bitmapInfo, bits);
        if (bitmap && header) std::memcpy(header, bitmapInfo, sizeof(BitmapInfoHeader));
    }
    std::free(bitmapInfo);
    std::free(bits);
    return bitmap;
}

std::optional<quenrix::QXBitmap> bitmapFromDib(const void* bitmapInfo, const void* bits) {
    BitmapInfoHeader h;
    std::memcpy(&h, bitmapInfo, sizeof h);
    const int64_t width = h.biWidth;
    const int64_t height = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
    if (h.biSize < sizeof h || !pictureSizeAllowed(width, height)) return std::nullopt;
    const uint16_t bpp = h.biBitCount;
    const bool masks = h.biCompression == kBiBitfields && (bpp == 16 || bpp == 32);
    if (h.biCompression != kBiRgb && !masks) return std::nullopt;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
        return std::nullopt;
    }

    const auto* extra = static_cast<const uint8_t*>(bitmapInfo) + h.biSize;
    uint32_t redMask = 0x7C00, greenMask = 0x03E0, blueMask = 0x001F;  // 16-bit 5-5-5
    if (masks) {
        std::memcpy(&redMask, extra, 4);
        std::memcpy(&greenMask, extra + 4, 4);
        std::memcpy(&blueMask, extra + 8, 4);
    }
    uint32_t colours = 0;
    if (bpp <= 8) {
        const uint32_t most = 1u << bpp;
        colours = h.biClrUsed == 0 || h.biClrUsed > most ? most : h.biClrUsed;
    }
    const uint8_t* palette = extra;  // blue, green, red, reserved per entry

    const size_t srcStride = ((size_t(width) * bpp + 31) / 32) * 4;
    const bool bottomUp = h.biHeight > 0;
    quenrix::QXBitmap out = quenrix::QXBitmap::make(int32_t(width), int32_t(height));
    const auto* src = static_cast<const uint8_t*>(bits);
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* row = src + size_t(bottomUp ? height - 1 - y : y) * srcStride;
        uint8_t* dst = out.row(int32_t(y));
        for (int64_t x = 0; x < width; ++x, dst += 3) {
            switch (bpp) {
                case 24:
                    std::memcpy(dst, row + x * 3, 3);
                    break;
                case 32:
                case 16: {
                    uint32_t v = 0;
                    std::memcpy(&v, row + x * (bpp / 8), bpp / 8);
                    if (bpp == 32 && !masks) {
                        std::memcpy(dst, row + x * 4, 3);
                    } else {
                        dst[0] = maskedChannel(v, blueMask);
                        dst[1] = maskedChannel(v, greenMask);
                        dst[2] = maskedChannel(v, redMask);
                    }
                    break;
                }
                default: {  // 1, 4 or 8 bits through the colour table
                    const size_t bit = size_t(x) * bpp;
                    const uint32_t index =
                        (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                    if (index < colours) std::memcpy(dst, palette + index * 4, 3);
                    break;
                }
            }
        }
    }
    return out;
}

}  // namespace tovy::support_susie
