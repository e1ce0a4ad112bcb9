// The user's preferences that hold across runs and documents, stored in "Quenrix.ini" in
// the settings folder the user chose on the first run, together with the command-line
// switches of this run and the folders the program works from.
//
// One object per process, reached through QXAppSettings::instance() (made with the
// defaults on first use, safely against concurrent first use). The user-interface thread
// loads, changes and saves it; workers read single values (the cache switch, the
// thumbnail sizes) without a lock and do not care about a change in the middle of a run.
//
// Colours are Windows colour values 0x00BBGGRR, red in the low byte (the windows convert
// them with toQColor / fromQColor of app/COptionSheet.h). Paths are native bytes; text is
// wide.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quenrix {

class QXIniFile;

// A rectangle in screen coordinates, right and bottom exclusive.
struct QXRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool operator==(const QXRect&) const = default;
};

// The stored block of settings that the options sheet edits as a copy, section General.
struct QXGeneralSettings {
    static constexpr int32_t kWindowMaximized = 0x01000000;  // FrameWindowShow bits
    static constexpr int32_t kWindowMinimized = 0x20000000;

    std::string susiePath;               // folder of the image plug-ins ("*.sph")
    uint32_t colorBack = 0xFFFFFF;       // result list background
    uint32_t colorBackOdd = 0xFFFFFF;    // odd result rows
    uint32_t colorBackEven = 0xC0FFFF;   // even result rows (pale yellow)
    uint32_t colorText = 0x000000;       // the colour page's text (result rows stay black)
    int32_t recycle = 1;                 // kept and stored, nothing else reads it
    int32_t showGrid = 1;                // grid lines in the result list
    int32_t showTotalFileSize = 0;       // the status bar adds the ticked files' size
    int32_t logging = 1;                 // the log is enabled
    int32_t checkSubFolder = 0;          // サブフォルダも対象 starts ticked
    QXRect frameWindow{-1, -1, -2, -2};  // main window: X, Y, X + W, Y + H
    int32_t frameWindowShow = -1;        // kWindowMaximized / kWindowMinimized at close
    std::wstring columns = L"FileName,Path,FileSize,Last updated time,Image size,Hash";
    std::wstring columnWidth;         // their widths, comma-separated
    int32_t thumbnailSize = 300;      // サムネイルの幅 (stored only)
    int32_t thumbnailDispSize = 120;  // row height at the slider's middle position
    int32_t thumbnailMargin = 8;      // free space around a thumbnail in its cell
    int32_t showThumbnail = 0;        // the result list shows thumbnails
    int32_t enableZoomIn = 0;         // small thumbnails are enlarged too
    int32_t cache = 0;                // computed values go through the cache store
    int32_t defaultRunMode = 2;       // preselected action (1 to 12), index + 1
    int32_t scriptTimeLimit = 10;     // seconds a script rule's run may take; <= 0: no limit

    bool operator==(const QXGeneralSettings&) const = default;
};

class QXAppSettings : public QXGeneralSettings {
public:
    static constexpr const char* kFileName = "Quenrix.ini";
    static constexpr size_t kHistoryLimit = 10;

    // The first-run choices of the settings folder.
    enum FolderChoice : int32_t {
        kUserConfig = 0,      // the configuration folder + "/Talvor/Quenrix"
        kExeFolderLogon = 1,  // the executable's folder + "/" + the logon name
        kExeFolder = 2,       // the executable's folder
    };

    // The folders the settings file is looked for in. defaultPlaces() reads them from
    // the system; tests pass their own.
    struct Places {
        std::string exeFolder;     // without a trailing slash
        std::string logonName;     // may be empty
        std::string configFolder;  // $XDG_CONFIG_HOME or ~/.config
    };
    static Places defaultPlaces();

    static QXAppSettings& instance();

    QXAppSettings();
    QXAppSettings(const QXAppSettings&) = default;
    QXAppSettings& operator=(const QXAppSettings&) = default;

    QXGeneralSettings& general() { return *this; }
    const QXGeneralSettings& general() const { return *this; }
    // Every stored setting and the lists back to their defaults; the folders and the
    // command-line switches stay.
    void resetToDefaults();

    // Looks for an existing settings file: beside the executable, then in the folder
    // named after the user beside it, then in the configuration folder. Found: sets the
    // settings folder to its folder and returns true.
    bool locate(const Places& places);
    bool locate() { return locate(defaultPlaces()); }
    // The folder a first-run choice stands for (what the first-run dialog shows), with a
    // trailing slash.
    static std::string choiceFolder(int32_t choice, const Places& places);
    // Makes the folder of a first-run choice when missing and sets the settings folder to
    // it. false when it cannot be made; the settings folder is then empty.
    bool createFolder(int32_t choice, const Places& places);
    bool createFolder(int32_t choice) { return createFolder(choice, defaultPlaces()); }

    // The settings folder with a trailing slash (empty when none could be settled) and
    // the settings file in it.
    const std::string& settingsFolder() const { return m_settingsFolder; }
    void setSettingsFolder(const std::string& folder);
    std::string settingsFilePath() const { return m_settingsFolder + kFileName; }
    const std::string& exeFolder() const { return m_exeFolder; }

    // Reads every setting from the settings file, keeping the current value wherever the
    // file has none, then switches the log on or off after Logging. false when the file
    // exists but cannot be read (nothing changes then).
    bool load();
    // Writes every setting into the settings file, keeping its other keys and sections;
    // the file is replaced atomically. false when it cannot be read or written.
    bool save() const;
    // The same on a profile in memory (load does not touch the log).
    void loadFrom(const QXIniFile& ini);
    void saveTo(QXIniFile& ini) const;

    // Other keys of the settings file (the recent-document list): read and written
    // through the file at once, like the system's profile functions.
    std::string profileString(std::string_view section, std::string_view key,
                              std::string_view def = {}) const;
    int32_t profileInt(std::string_view section, std::string_view key, int32_t def) const;
    bool writeProfileString(std::string_view section, std::string_view key,
                            std::string_view value) const;
    bool writeProfileInt(std::string_view section, std::string_view key, int32_t value) const;

    // Section "Target MRU list", most recent first. The main frame keeps the live list in
    // its QXFolderHistory and copies it here before a save.
    std::vector<std::string> folderHistory;
    // Section SearchEmptyFolder: the empty-folder search's patterns and ignored names.
    std::vector<std::wstring> patternMatch;
    std::vector<std::wstring> ignoreFile{L"thumbs.db", L"desktop.ini", L"_catalog.vix",
                                         L"picasa.ini"};

    // Command-line switches of this run (not stored).
    int32_t cmdAutoRun = 0;
    int32_t cmdAutoDel = 0;  // 0 none, 1 to 7 the delete mode
    int32_t cmdLog = 0;
    int32_t cmdRemoveEmptyFolder = 0;
    int32_t cmdCache = 0;

private:
    std::string m_exeFolder;
    std::string m_settingsFolder;
};

}  // namespace quenrix
