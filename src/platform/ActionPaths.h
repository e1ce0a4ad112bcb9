// Where the copy and move actions put a file: the next free name in a folder, and the
// place of a file below the destination when the folder tree is kept. Paths are native
// bytes, never re-encoded. Functions return true (or a non-empty path) on success, or
// false (empty) with errno set. Thread-safe: no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The name tried for counter n when `name` is taken: the name is split at its last "."
// into base and extension (no "." at all: the whole name is the base) and becomes
// base + "(n)" + "." + extension, or base + "(n)" without an extension. So "a.txt" gives
// "a(n).txt", "README" gives "README(n)", "archive.tar.gz" gives "archive.tar(n).gz" and
// ".profile" gives "(n).profile".
std::string numberedName(std::string_view name, uint32_t n);

// The first path in `folder` that names nothing yet: folder/name itself, else
// numberedName(name, 1), (name, 2) and so on. Existence is checked with lstat, so a
// dangling symbolic link counts as taken. Empty when no name is free: errno EEXIST when
// the counter ran out, or the lstat error that left the question open (EACCES,
// ENAMETOOLONG, ENOTDIR...).
std::string freeNameIn(const std::string& folder, const std::string& name);

// Copy (copyFile) or move (moveFile) `from` into `folder` under the first free name for
// `name`. A name that gets taken between the choice and the copy or move is never
// replaced; the next free name is chosen instead. On success *placed (when given) holds
// the new path.
bool copyToFreeName(const std::string& from, const std::string& folder, const std::string& name,
                    std::string* placed = nullptr);
bool moveToFreeName(const std::string& from, const std::string& folder, const std::string& name,
                    std::string* placed = nullptr);

// The path of `file` below the folder `target`, for the modes that keep the folder tree:
// "2019/a.jpg" for file "/photos/2019/a.jpg" and target "/photos" (or "/photos/"). The
// target is removed only as a leading part that ends at a folder boundary, so target
// "/data" does not cut "/databackup/x", and target "/" keeps the whole path. Empty and "."
// components are dropped. Fails with EINVAL when `target` is empty or not absolute, when
// `file` does not lie below it (the target itself included), or when the rest holds a
// ".." component, so the result can never climb out of a destination folder.
bool pathBelowTarget(std::string_view file, std::string_view target, std::string* relative);

// Creates the folders of the relative path `subfolders` ("2019/summer") below the existing
// folder `base`, one level at a time, each only when missing (createFolder: mkdir 0777
// under the umask). An existing entry that is not a folder (or a link to one) fails with
// ENOTDIR; a ".." component fails with EINVAL before anything is made. On failure *failedFolder
// (when given) names the folder that could not be made; the folders made before it stay.
bool createSubfolders(const std::string& base, std::string_view subfolders,
                      std::string* failedFolder = nullptr);

// Prepares the place of `file` below `destination` when the tree below `target` is kept:
// the folders of pathBelowTarget's result are made below the destination
// (createSubfolders) and *folder, *name receive the folder to hold the file and its name
// ("/backup/2019" and "a.jpg" for file "/photos/2019/a.jpg", target "/photos", destination
// "/backup"). Fails with EINVAL, nothing made, when the file has no place below the target;
// with createSubfolders's error and *failedFolder when a folder cannot be made.
bool keepTreeFolder(const std::string& destination, std::string_view file, std::string_view target,
                    std::string* folder, std::string* name, std::string* failedFolder = nullptr);

}  // namespace platform
