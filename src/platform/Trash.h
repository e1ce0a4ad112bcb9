// The desktop's trash (the freedesktop.org trash layout, which file managers and
// trash-cli read and restore from): a trash folder holds files/NAME, the trashed entry,
// and info/NAME.trashinfo with its original path and deletion time. A file on the home
// folder's file system goes to the home trash ($XDG_DATA_HOME/Trash); a file on another
// file system goes to the trash at the top folder of its mount. Trashing only ever
// renames within one file system; when no usable trash folder exists the file stays
// where it is (it is never deleted instead). Thread-safe: no shared state (two threads
// trashing at once get different names).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The home trash folder: $XDG_DATA_HOME/Trash, default ~/.local/share/Trash.
std::string homeTrashFolder();

// The trash folder of a mount's top folder, made where missing: topDir/.Trash/UID when
// topDir/.Trash is a folder with the sticky bit set and not a symbolic link, otherwise
// topDir/.Trash-UID (UID the numeric user id). Folders are made 0700; the trash folder
// and its files/ and info/ must be real folders (not links) owned by the user, or another
// user could collect what we trash. Empty on failure, with *error saying why.
std::string topFolderTrash(const std::string& topDir, std::string* error = nullptr);

// The top folder of the mount that holds the existing folder `folder` (given without
// symbolic links, as realpath gives it): the nearest folder up the path that is a mount
// root or lies on another device than its parent. "/" at the most.
std::string mountTopOf(const std::string& folder);

// Moves `path` to the trash: a file, a folder, or a symbolic link as the link itself
// (never what it points to). The info file is made first, exclusively; the entry is
// then renamed to the matching name in files/, neither ever replacing anything (a taken
// name gets a numbered one). On any failure the entry stays where it is, no info file is
// left, errno is set and *error (when given) says what failed. On success *trashedAs
// (when given) is the entry's new path in the trash.
bool moveToTrash(const std::string& path, std::string* error = nullptr,
                 std::string* trashedAs = nullptr);

// The Path value of an info file: the bytes of `path` with everything but letters,
// digits, "-", "_", ".", "~" and "/" written as %XX.
std::string encodeTrashPath(std::string_view path);

}  // namespace platform
