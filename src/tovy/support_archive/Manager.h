// The archive manager: the archive modules of the common archiver interface that could
// be loaded, one Archiver entry each, in the order of the module table (kArchiverTable),
// and the few steps the archive check makes through them: find the module for a file,
// open the file through it, close it again.
//
// Modules are shared objects beside the executable named like the table's modules with
// ".so" ("UNZIP32.so"); a module that is missing or lacks OpenArchive is skipped.
//
// Not thread-safe: filled on the user-interface thread at start-up, then used by one
// search worker at a time (searches run under a modal dialog), emptied at exit. An entry
// has at most one open archive.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileStat.h"
#include "tovy/support_archive/ArchiverApi.h"

namespace tovy::support_archive {

// The exported functions an entry looks up, by the part of the name after the prefix
// ("" is the bare command function), in this order.
enum ArcFunction : int {
    kFnGetVersion,
    kFnCommand,
    kFnCheckArchive,
    kFnGetRunning,
    kFnGetBackGroundMode,
    kFnSetBackGroundMode,
    kFnGetCursorMode,
    kFnSetCursorMode,
    kFnGetCursorInterval,
    kFnSetCursorInterval,
    kFnSetUnicodeMode,
    kFnOpenArchive,
    kFnCloseArchive,
    kFnFindFirst,
    kFnFindNext,
    kFnExtract,
    kFnGetArcFileName,
    kFnGetArcFileSize,
    kFnGetArcOriginalSize,
    kFnGetArcCompressedSize,
    kFnGetArcRatio,
    kFnGetArcDate,
    kFnGetArcTime,
    kFnGetArcOSType,
    kFnIsSFXFile,
    kFnGetFileName,
    kFnGetOriginalSize,
    kFnGetCompressedSize,
    kFnGetRatio,
    kFnGetDate,
    kFnGetTime,
    kFnGetWriteTime,
    kFnGetCreateTime,
    kFnGetAccessTime,
    kFnGetCRC,
    kFnGetAttribute,
    kFnGetOSType,
    kFnGetMethod,
    kFnCount
};

// The name suffix of a function ("OpenArchive"; "" for kFnCommand).
const char* functionSuffix(ArcFunction f);

// One row of the module table.
struct ArchiverRow {
    int32_t type;               // 1 to 9
    const char* moduleName;     // file name beside the executable
    const char* prefix;         // of every exported name
    const wchar_t* extensions;  // without dots, ";"-separated; null: none
    // Command switches for extraction: without folders, with folders, quiet, output
    // folder. Nothing in the program extracts; they are kept with the entry.
    const wchar_t* switchNoFolders;
    const wchar_t* switchFolders;
    const wchar_t* switchQuiet;
    const wchar_t* switchOutput;
};

// The modules in load order.
extern const std::array<ArchiverRow, 9> kArchiverTable;

// One loaded module.
struct Archiver {
    Archiver() = default;
    ~Archiver();
    Archiver(const Archiver&) = delete;
    Archiver& operator=(const Archiver&) = delete;

    void* module = nullptr;  // dlopen handle
    HARC archive = nullptr;  // the archive open through it, or none
    int32_t type = 0;
    std::wstring extensions;
    std::wstring switchNoFolders, switchFolders, switchQuiet, switchOutput;
    std::string moduleName;
    std::array<void*, kFnCount> functions{};  // null where the module lacks the export

    template <class Fn>
    Fn function(ArcFunction f) const {
        return reinterpret_cast<Fn>(functions[f]);
    }
    CheckArchiveFn checkArchive() const { return function<CheckArchiveFn>(kFnCheckArchive); }
    OpenArchiveFn openArchive() const { return function<OpenArchiveFn>(kFnOpenArchive); }
    CloseArchiveFn closeArchive() const { return function<CloseArchiveFn>(kFnCloseArchive); }
    FindFirstFn findFirst() const { return function<FindFirstFn>(kFnFindFirst); }
    FindNextFn findNext() const { return function<FindNextFn>(kFnFindNext); }
    GetIntFn getAttribute() const { return function<GetIntFn>(kFnGetAttribute); }

    // Closes the open archive, if any.
    void close();
    // True when the extension (without its dot) is one of the list's, without regard to
    // case.
    bool handlesExtension(const std::wstring& extension) const;
};

class Manager {
public:
    Manager() = default;
    ~Manager();
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    // Loads the table's modules from `folder` (the executable's folder when empty), in
    // table order, after unloading any loaded before. Returns the number loaded.
    size_t LoadArchivers(const std::string& folder = {});
    // Closes every open archive and unloads every module.
    void UnloadArchivers();

    // The index of the entry that handles the file, or -1: by the extension, or for an
    // ".exe" the first entry whose CheckArchive accepts the file in mode 0 and in mode 1.
    int FindArchiver(const std::wstring& path) const;
    // Opens the file through entry `index`; false when the index is out of range, the
    // entry already has an open archive, or the module refuses the file. `expected`,
    // when given, is the file the caller found: a path that names another file (device
    // and inode), or a link, is refused. Paths of any length the system allows are
    // opened, by every module (no 260-byte limit as the Windows RAR module had).
    bool OpenArchiver(int index, const std::wstring& path,
                      const platform::FileStat* expected = nullptr);
    // Closes the open archive of entry `index`.
    void CloseArchiver(int index);

    size_t count() const { return m_archivers.size(); }
    // Entry `index`, or null.
    Archiver* archiver(int index) const;

private:
    std::vector<std::unique_ptr<Archiver>> m_archivers;
};

// The program's archive manager, filled at start-up.
Manager& archiveHost();

}  // namespace tovy::support_archive
