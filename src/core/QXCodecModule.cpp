#include "core/QXCodecModule.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <mutex>
#include <vector>

#include "core/QXLog.h"
#include "platform/SpecialFolders.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

bool LoadCodecModule(const std::string& folder, QXCodecEntries& entries, std::string& error) {
    entries = QXCodecEntries();
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path += kCodecModuleName;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + ": not found";
        return false;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        error = why ? why : path + ": cannot be loaded";
        return false;
    }
    // From here the module stays loaded even when it is refused: its libraries may have
    // started threads while they loaded.
    auto version = reinterpret_cast<QXCodecInterfaceFn>(::dlsym(handle, kCodecInterfaceName));
    auto decode =
        reinterpret_cast<QXCodecDecodePictureFn>(::dlsym(handle, kCodecDecodePictureName));
    auto video = reinterpret_cast<QXCodecReadVideoFn>(::dlsym(handle, kCodecReadVideoName));
    if (!version || !decode || !video) {
        error = path + ": an entry point is missing";
        return false;
    }
    if (version() != kCodecInterface) {
        error = path + ": another interface version";
        return false;
    }
    entries.decodePicture = decode;
    entries.readVideo = video;
    return true;
}

const QXCodecEntries* CodecModule() {
    static std::once_flag once;
    static QXCodecEntries entries;
    static bool loaded = false;
    std::call_once(once, [] {
        std::vector<std::string> folders;
        const std::string beside = platform::executableFolder();
        if (!beside.empty()) folders.push_back(beside);
#ifdef QUENRIX_CODEC_MODULE_DIR
        if (std::string(QUENRIX_CODEC_MODULE_DIR) != beside) {
            folders.emplace_back(QUENRIX_CODEC_MODULE_DIR);
        }
#endif
        std::string errors;
        for (const std::string& folder : folders) {
            std::string error;
            if (LoadCodecModule(folder, entries, error)) {
                loaded = true;
                return;
            }
            if (!errors.empty()) errors += "; ";
            errors += error;
        }
        QXLog::Write(L"QXCodecModule : load : Failed to load the codec module. (%s)",
                     tovy::fromUtf8(errors).c_str());
    });
    return loaded ? &entries : nullptr;
}

bool CodecDecodePicture(const uint8_t* data, size_t size, cv::Mat& image) {
    const QXCodecEntries* module = CodecModule();
    return module && module->decodePicture(data, size, &image) == 1;
}

bool CodecReadVideo(const std::string& path, QXCodecVideo& video) {
    const QXCodecEntries* module = CodecModule();
    return module && module->readVideo(path.c_str(), &video) == 1;
}

}  // namespace quenrix
