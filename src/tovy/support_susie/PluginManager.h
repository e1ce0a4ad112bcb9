// The host of the picture plug-ins: shared objects named "*.sph" in the folder the
// user chose (setting SusiePath), each exporting the four functions below with C
// linkage. The host keeps them in the order they were loaded; the first plug-in whose
// IsSupported accepts a file reads it.
//
// The plug-in interface as this program uses it:
// - IsSupported(name, header): `name` is the file's path in the native (UTF-8) bytes,
//   `header` points to kHeaderBytes bytes from the start of the file (zero past the end
//   of a shorter file). Non-zero: the plug-in reads the file.
// - GetPictureInfo(buf, len, flag, info): flag 1, `buf` holds the whole file of `len`
//   bytes. 0 on success with width and height in `info`. `info->hInfo` is a text block
//   the plug-in may return, allocated with malloc; the host frees it with free.
// - GetPicture(buf, len, flag, &bitmapInfo, &bits, progress, data): flag 1, the whole
//   file in memory as above (the host never has a plug-in open a file by its name, so a
//   plug-in sees only the bytes of the regular file the host opened itself). 0 on success:
//   `bitmapInfo` points to a BITMAPINFO (a BitmapInfoHeader, then the colour table or the
//   bit masks it needs) and `bits` to the pixel rows (each padded to 4 bytes, bottom-up
//   for a positive height, top-down for a negative one). Both are allocated by the
//   plug-in with malloc and freed by the host with free. Depths 1, 4, 8 (colour table),
//   16, 24 and 32 bits without compression (BI_RGB) or with bit masks (BI_BITFIELDS, 16
//   and 32 bits). The progress callback always answers 0 (go on).
// - GetPluginInfo must be exported; the host does not call it.
// A plug-in whose GetPictureInfo is absent or fails is never asked for GetPicture, and no
// plug-in is given a picture above kMaxPicturePixels or an empty file.
//
// Thread-safe: every call into a plug-in is made under the list's recursive mutex, so
// no plug-in is ever entered by two threads at once. Loading and unloading take the same
// mutex; a plug-in unloaded while a call is under way stays mapped until the call ends.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/QXBitmap.h"
#include "platform/FileStat.h"
#include "tovy/TovSync.h"
#include "tovy/support_susie/PictureFile.h"

namespace tovy::support_susie {

#pragma pack(push, 1)
// The picture-information record, byte-packed.
struct PictureInfo {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    uint16_t xDensity;
    uint16_t yDensity;
    int16_t colorDepth;
    char* hInfo;  // text block (malloc) or null
};
#pragma pack(pop)
static_assert(sizeof(PictureInfo) == 22 + sizeof(char*));

struct BitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

extern "C" {
using SusieProgress = int (*)(int num, int denom, intptr_t data);
using GetPluginInfoProc = int (*)(int infoNo, char* buf, int bufLen);
using IsSupportedProc = int (*)(const char* fileName, void* header);
using GetPictureInfoProc = int (*)(const char* buf, intptr_t len, unsigned int flag,
                                   PictureInfo* info);
using GetPictureProc = int (*)(const char* buf, intptr_t len, unsigned int flag, void** bitmapInfo,
                               void** bits, SusieProgress progress, intptr_t data);
}

// One loaded plug-in; unloaded when the last reference goes.
struct PluginEntry {
    ~PluginEntry();
    void* module = nullptr;
    GetPluginInfoProc getPluginInfo = nullptr;
    IsSupportedProc isSupported = nullptr;
    GetPictureInfoProc getPictureInfo = nullptr;
    GetPictureProc getPicture = nullptr;
    std::wstring path;
};

class PluginManager {
public:
    PluginManager();
    ~PluginManager();
    PluginManager(const PluginManager&) = delete;
    PluginManager& operator=(const PluginManager&) = delete;

    // Makes the plug-in list when it does not exist; true when it exists.
    bool Create();
    // Loads every "*.sph" file of the folder (by name, without regard to case, in name
    // order). True when the folder was searched, also when it holds no plug-in; false
    // when no folder is given, no list exists, or the folder cannot be read.
    bool LoadFolder(const std::wstring& folder);
    // Loads one shared object and appends it when it exports all four functions.
    bool LoadPlugin(const std::wstring& path);
    // Forgets every plug-in (each is unloaded once no call uses it any more).
    void UnloadAll();
    // The plug-ins loaded, in order.
    size_t pluginCount() const;
    std::vector<std::wstring> pluginPaths() const;

    // The first plug-in whose IsSupported accepts the file; none when none does.
    std::shared_ptr<const PluginEntry> FindPlugin(const std::string& fileName,
                                                  const uint8_t* header);
    // The picture's width and height through GetPictureInfo. `expected`, when given, is
    // the file the caller found (device and inode); another file there is not read.
    bool ReadPictureSize(const std::wstring& path, int32_t* width, int32_t* height,
                         const platform::FileStat* expected = nullptr);
    // The picture through GetPicture as a bitmap, and the plug-in's header of it; none
    // when no plug-in reads it.
    std::optional<quenrix::QXBitmap> LoadPicture(const std::wstring& path,
                                                 BitmapInfoHeader* header = nullptr,
                                                 const platform::FileStat* expected = nullptr);

private:
    struct List {
        TovFastMutex mutex;
        std::vector<std::shared_ptr<const PluginEntry>> entries;
    };
    // Opens the file, reads its header and finds the plug-in for it.
    std::shared_ptr<const PluginEntry> pluginFor(const std::string& nativePath,
                                                 const platform::FileStat* expected,
                                                 PictureFile& file);
    // GetPictureInfo over the whole file; false on any failure.
    bool pictureInfo(const PluginEntry& plugin, const std::vector<uint8_t>& data, int32_t* width,
                     int32_t* height);

    std::unique_ptr<List> m_list;
};

// The program's plug-in host.
PluginManager& pluginHost();

// Turns a plug-in's BITMAPINFO and bits into a bitmap; none for a header it cannot
// read. The bits are trusted to be as large as the header says.
std::optional<quenrix::QXBitmap> bitmapFromDib(const void* bitmapInfo, const void* bits);

}  // namespace tovy::support_susie
