#include "doc/QXAppSettings.h"

#include <sys/stat.h>

#include "core/QXLog.h"
#include "doc/QXFolderHistory.h"
#include "doc/QXIniFile.h"
#include "platform/FileOps.h"
#include "platform/SpecialFolders.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

constexpr const char* kGeneral = "General";
constexpr const char* kHistorySection = "Target MRU list";
constexpr const char* kEmptyFolderSection = "SearchEmptyFolder";

bool isFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes the folder unless it is there already.
bool ensureFolder(const std::string& path) {
    return isFolder(path) || platform::createFolder(path) || isFolder(path);
}

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

// Sums as the 32-bit arithmetic of the stored values does, without overflow traps.
int32_t wrapAdd(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
int32_t wrapSub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

int32_t readInt(const QXIniFile& ini, const char* key, int32_t current) {
    return ini.getInt(kGeneral, key, current);
}
uint32_t readColor(const QXIniFile& ini, const char* key, uint32_t current) {
    return static_cast<uint32_t>(ini.getInt(kGeneral, key, static_cast<int32_t>(current)));
}

// A counted list: the first non-empty value replaces the whole list, the first empty one
// ends it, so the current list stays when the count is 0 or the first value is empty.
void readList(const QXIniFile& ini, const std::string& countKey, const std::string& prefix,
              std::vector<std::wstring>& list) {
    const int32_t count = ini.getInt(kEmptyFolderSection, countKey, 0);
    bool replaced = false;
    for (int32_t n = 1; n <= count; ++n) {
        std::string value = ini.getString(kEmptyFolderSection, prefix + std::to_string(n));
        if (value.empty()) break;
        if (!replaced) {
            list.clear();
            replaced = true;
        }
        list.push_back(tovy::fromUtf8(value));
    }
}

// Entries that cannot be stored (empty ones, and those with a line break) are left out;
// an empty entry would end the list when it is read back.
void writeList(QXIniFile& ini, const std::string& countKey, const std::string& prefix,
               const std::vector<std::wstring>& list) {
    std::vector<std::string> values;
    for (const std::wstring& entry : list) {
        std::string value = tovy::toUtf8(entry);
        if (!value.empty() && QXIniFile::isStorable(value)) values.push_back(std::move(value));
    }
    ini.setInt(kEmptyFolderSection, countKey, int32_t(values.size()));
    for (size_t i = 0; i < values.size(); ++i) {
        ini.setString(kEmptyFolderSection, prefix + std::to_string(i + 1), values[i]);
    }
}

}  // namespace

QXAppSettings::Places QXAppSettings::defaultPlaces() {
    return Places{platform::executableFolder(), platform::logonName(), platform::configFolder()};
}

QXAppSettings& QXAppSettings::instance() {
    static QXAppSettings settings;
    return settings;
}

QXAppSettings::QXAppSettings() : m_exeFolder(withSlash(platform::executableFolder())) {}

void QXAppSettings::resetToDefaults() {
    const QXAppSettings fresh;
    general() = fresh.general();
    folderHistory = fresh.folderHistory;
    patternMatch = fresh.patternMatch;
    ignoreFile = fresh.ignoreFile;
}

void QXAppSettings::setSettingsFolder(const std::string& folder) {
    m_settingsFolder = withSlash(folder);
}

bool QXAppSettings::locate(const Places& places) {
    std::vector<std::string> candidates;
    if (!places.exeFolder.empty()) {
        candidates.push_back(withSlash(places.exeFolder));
        if (!places.logonName.empty()) {
            candidates.push_back(withSlash(withSlash(places.exeFolder) + places.logonName));
        }
    }
    if (!places.configFolder.empty()) {
        candidates.push_back(withSlash(places.configFolder) + "Talvor/Quenrix/");
    }
    for (const std::string& folder : candidates) {
        if (isFile(folder + kFileName)) {
            m_settingsFolder = folder;
            return true;
        }
    }
    return false;
}

std::string QXAppSettings::choiceFolder(int32_t choice, const Places& places) {
    switch (choice) {
        case kExeFolderLogon:
            if (places.logonName.empty()) return withSlash(places.exeFolder);
            if (places.exeFolder.empty()) return {};
            return withSlash(withSlash(places.exeFolder) + places.logonName);
        case kExeFolder:
            return withSlash(places.exeFolder);
        default:
            if (places.configFolder.empty()) return {};
            return withSlash(places.configFolder) + "Talvor/Quenrix/";
    }
}

bool QXAppSettings::createFolder(int32_t choice, const Places& places) {
    m_settingsFolder.clear();
    const std::string folder = choiceFolder(choice, places);
    if (folder.empty()) return false;
    bool ok = true;
    if (choice == kExeFolderLogon && !places.logonName.empty()) {
        ok = ensureFolder(folder.substr(0, folder.size() - 1));
    } else if (choice != kExeFolderLogon && choice != kExeFolder) {
        // The configuration folder itself may be missing on a fresh account.
        const std::string config = withSlash(places.configFolder);
        ok = ensureFolder(config.substr(0, config.size() - 1)) && ensureFolder(config + "Talvor") &&
             ensureFolder(config + "Talvor/Quenrix");
    } else {
        ok = isFolder(folder);
    }
    if (!ok) return false;
    m_settingsFolder = folder;
    return true;
}

void QXAppSettings::loadFrom(const QXIniFile& ini) {
    susiePath = ini.getString(kGeneral, "SusiePath", susiePath);
    colorBack = readColor(ini, "ColorBack", colorBack);
    colorBackOdd = readColor(ini, "ColorBackOdd", colorBackOdd);
    colorBackEven = readColor(ini, "ColorBackEven", colorBackEven);
    colorText = readColor(ini, "ColorText", colorText);
    recycle = readInt(ini, "Recycle", recycle);
    showGrid = readInt(ini, "ShowGrid", showGrid);
    showTotalFileSize = readInt(ini, "ShowTotalFileSize", showTotalFileSize);
    logging = readInt(ini, "Logging", logging);
    checkSubFolder = readInt(ini, "CheckSubFolder", checkSubFolder);
    // The window's place reads as -1 wherever it is missing, whatever was held before.
    const int32_t x = readInt(ini, "FrameWindowX", -1);
    const int32_t y = readInt(ini, "FrameWindowY", -1);
    const int32_t w = readInt(ini, "FrameWindowW", -1);
    const int32_t h = readInt(ini, "FrameWindowH", -1);
    frameWindow = QXRect{x, y, wrapAdd(x, w), wrapAdd(y, h)};
    frameWindowShow = readInt(ini, "FrameWindowShow", -1);
    columns = tovy::fromUtf8(ini.getString(kGeneral, "Columns", tovy::toUtf8(columns)));
    columnWidth = tovy::fromUtf8(ini.getString(kGeneral, "ColumnWidth", tovy::toUtf8(columnWidth)));
    thumbnailSize = readInt(ini, "ThumbnailSize", thumbnailSize);
    thumbnailDispSize = readInt(ini, "ThumbnailDispSize", thumbnailDispSize);
    thumbnailMargin = readInt(ini, "ThumbnailMargin", thumbnailMargin);
    showThumbnail = readInt(ini, "ShowThumbnail", showThumbnail);
    enableZoomIn = readInt(ini, "EnableZoomIn", enableZoomIn);
    cache = readInt(ini, "Cache", cache);
    defaultRunMode = readInt(ini, "DefaultRunMode", defaultRunMode);
    scriptTimeLimit = readInt(ini, "ScriptTimeLimit", scriptTimeLimit);

    QXFolderHistory history;
    for (const std::string& path : folderHistory) history.loadAppend(path);
    for (size_t n = 1; n <= kHistoryLimit; ++n) {
        history.loadAppend(ini.getString(kHistorySection, "Dir" + std::to_string(n)));
    }
    folderHistory = history.entries();

    readList(ini, "PatternMatchCount", "PatternMatch_", patternMatch);
    readList(ini, "IgnoreFileCount", "IgnoreFile_", ignoreFile);
}

void QXAppSettings::saveTo(QXIniFile& ini) const {
    // Text with a line break cannot be stored; the file keeps what it had.
    ini.setString(kGeneral, "SusiePath", susiePath);
    ini.setInt(kGeneral, "ColorBack", int32_t(colorBack));
    ini.setInt(kGeneral, "ColorBackOdd", int32_t(colorBackOdd));
    ini.setInt(kGeneral, "ColorBackEven", int32_t(colorBackEven));
    ini.setInt(kGeneral, "ColorText", int32_t(colorText));
    ini.setInt(kGeneral, "Recycle", recycle);
    ini.setInt(kGeneral, "ShowGrid", showGrid);
    ini.setInt(kGeneral, "ShowTotalFileSize", showTotalFileSize);
    ini.setInt(kGeneral, "Logging", logging);
    ini.setInt(kGeneral, "CheckSubFolder", checkSubFolder);
    ini.setInt(kGeneral, "FrameWindowX", frameWindow.left);
    ini.setInt(kGeneral, "FrameWindowY", frameWindow.top);
    ini.setInt(kGeneral, "FrameWindowW", wrapSub(frameWindow.right, frameWindow.left));
    ini.setInt(kGeneral, "FrameWindowH", wrapSub(frameWindow.bottom, frameWindow.top));
    ini.setInt(kGeneral, "FrameWindowShow", frameWindowShow);
    ini.setString(kGeneral, "Columns", tovy::toUtf8(columns));
    ini.setString(kGeneral, "ColumnWidth", tovy::toUtf8(columnWidth));
    ini.setInt(kGeneral, "ThumbnailSize", thumbnailSize);
    ini.setInt(kGeneral, "ThumbnailDispSize", thumbnailDispSize);
    ini.setInt(kGeneral, "ThumbnailMargin", thumbnailMargin);
    ini.setInt(kGeneral, "ShowThumbnail", showThumbnail);
    ini.setInt(kGeneral, "EnableZoomIn", enableZoomIn);
    ini.setInt(kGeneral, "Cache", cache);
    ini.setInt(kGeneral, "DefaultRunMode", defaultRunMode);
    ini.setInt(kGeneral, "ScriptTimeLimit", scriptTimeLimit);

    // A folder whose name holds a line break is not written (it could not be read back,
    // and must not add a key).
    size_t n = 0;
    for (const std::string& path : folderHistory) {
        if (n == kHistoryLimit) break;
        if (path.empty() || !QXIniFile::isStorable(path)) continue;
        ini.setString(kHistorySection, "Dir" + std::to_string(++n), path);
    }
    // Places a longer list used before are emptied, or they would be read back.
    while (++n <= kHistoryLimit) {
        const std::string key = "Dir" + std::to_string(n);
        if (ini.hasKey(kHistorySection, key)) ini.setString(kHistorySection, key, "");
    }

    writeList(ini, "PatternMatchCount", "PatternMatch_", patternMatch);
    writeList(ini, "IgnoreFileCount", "IgnoreFile_", ignoreFile);
}

bool QXAppSettings::load() {
    QXIniFile ini;
    if (!ini.load(settingsFilePath())) {
        QXLog::setEnabled(logging != 0);
        return false;
    }
    loadFrom(ini);
    QXLog::setEnabled(logging != 0);
    return true;
}

bool QXAppSettings::save() const {
    const std::string path = settingsFilePath();
    QXIniFile ini;
    // A file that is there but cannot be read is not replaced: its other keys would go.
    if (!ini.load(path)) return false;
    saveTo(ini);
    return ini.store(path);
}

std::string QXAppSettings::profileString(std::string_view section, std::string_view key,
                                         std::string_view def) const {
    QXIniFile ini;
    ini.load(settingsFilePath());
    return ini.getString(section, key, def);
}

int32_t QXAppSettings::profileInt(std::string_view section, std::string_view key,
                                  int32_t def) const {
    QXIniFile ini;
    ini.load(settingsFilePath());
    return ini.getInt(section, key, def);
}

bool QXAppSettings::writeProfileString(std::string_view section, std::string_view key,
                                       std::string_view value) const {
    const std::string path = settingsFilePath();
    QXIniFile ini;
    if (!ini.load(path) || !ini.setString(section, key, value)) return false;
    return ini.store(path);
}

bool QXAppSettings::writeProfileInt(std::string_view section, std::string_view key,
                                    int32_t value) const {
    return writeProfileString(section, key, std::to_string(value));
}

}  // namespace quenrix
