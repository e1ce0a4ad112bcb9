// Directory entries as the program sees them: a compact stat of one path (never
// following a symbolic link), the Windows-style attribute bits derived from it, and a
// directory reader that yields each entry with its stat. Thread-safe: no shared state.
#pragma once

#include <dirent.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/WinTypes.h"

namespace platform {

// What a search keeps of one directory entry. Times are nanoseconds since 1970-01-01 UTC.
struct FileStat {
    uint64_t size = 0;
    int64_t createNs = 0;  // birth time; the last-write time where the file system has none
    int64_t accessNs = 0;
    int64_t writeNs = 0;
    uint64_t dev = 0;
    uint64_t ino = 0;
    uint32_t mode = 0;  // st_mode: type and permission bits
    uint32_t nlink = 0;
    uint32_t attributes = 0;  // FILE_ATTRIBUTE_* bits, see attributesFor

    bool isDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool isSymlink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    bool isRegular() const;
};

// The attribute bits for an entry named `name` with the given st_mode:
// directory 0x10 for folders; read-only 0x01 when the owner has no write bit; hidden
// 0x02 when the name starts with "."; system 0x04 for anything neither a regular file nor
// a folder (FIFO, socket, device); reparse point 0x400 for a symbolic link.
uint32_t attributesFor(std::string_view name, uint32_t mode);

// Stats `path` without following a final symbolic link. Returns false and sets *err to
// errno on failure. The hidden bit is taken from the last component of the path.
bool statPath(const std::string& path, FileStat& out, int* err = nullptr);

// Stats the entry `name` of the open directory `dirFd`, without following a link.
bool statAt(int dirFd, const char* name, FileStat& out, int* err = nullptr);

// The find data the Windows file search would report for this entry.
WIN32_FIND_DATAW toFindData(const FileStat& st, std::wstring name);

// Reads one directory, skipping "." and "..". The folder itself is opened without
// following a final symbolic link (a link fails, ENOTDIR), so a linked folder is never
// entered through it; only a folder the user named (a search target) is opened through
// a link, with followLink. Not thread-safe; one reader per thread.
class DirReader {
public:
    explicit DirReader(const std::string& path, bool followLink = false);
    ~DirReader();
    DirReader(const DirReader&) = delete;
    DirReader& operator=(const DirReader&) = delete;

    // False when the folder could not be opened; error() then holds errno.
    bool ok() const { return m_dir != nullptr; }
    int error() const { return m_error; }

    // The next entry's name (bytes) and stat. An entry that cannot be stat'ed (it vanished
    // between the listing and the stat, or the folder lacks search permission) is skipped. Returns
    // false at the end of the folder (or on a read error, recorded in error()).
    bool next(std::string& name, FileStat& st);

private:
    DIR* m_dir = nullptr;
    int m_error = 0;
};

}  // namespace platform
