// File operations with the guarantees of their Windows counterparts, and more: nothing
// is ever replaced, a failed step leaves the original in place. Each returns true on
// success, or false with errno set (read it with errorText). Thread-safe: no shared state.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileStat.h"

namespace platform {

// DeleteFileW: unlink, refused with EACCES when the read-only attribute is set (no owner
// write bit). A folder is refused with EISDIR. A symbolic link is removed itself.
bool deleteFile(const std::string& path);

// MoveFileW: never replaces an existing target (EEXIST). Uses renameat2 with
// RENAME_NOREPLACE, or link + unlink where that is missing. Across file systems a regular
// file is copied (data, mode, times), synced, and only then the source removed; on any
// failure the partial copy is removed and the source stays. Folders do not cross file
// systems (EXDEV).
bool moveFile(const std::string& from, const std::string& to);

// moveFile without the copy: a rename that never replaces an existing target (EEXIST),
// failing with EXDEV across file systems. The entry itself moves, a symbolic link as the
// link. Where the file system cannot refuse to replace, a folder fails with EINVAL.
bool renameFile(const std::string& from, const std::string& to);

// CopyFileW with fail-if-exists: data, mode and last-write time; the target is created
// exclusively (O_EXCL). Only regular files are copied. A failed copy leaves no target.
bool copyFile(const std::string& from, const std::string& to);

// CreateDirectoryW: mkdir 0777 (under the umask). RemoveDirectoryW: rmdir.
bool createFolder(const std::string& path);
bool removeFolder(const std::string& path);

// GetTempFileNameW: creates a new empty file "___XXXX.TMP" (four hex digits) in `folder`,
// never replacing anything, and returns its path; empty on failure.
std::string createTempFileName(const std::string& folder);

// True when `path` still names the file a search recorded: same device, inode, size and
// last-write time (lstat, no links followed).
bool stillSameFile(const std::string& path, const FileStat& recorded);

// FlushFileBuffers on a path (fsync of the file).
bool syncFile(const std::string& path);

}  // namespace platform
