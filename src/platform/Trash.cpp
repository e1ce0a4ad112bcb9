#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/ActionPaths.h"
#include "platform/FileOps.h"
#include "platform/Path.h"
#include "platform/SpecialFolders.h"

namespace platform {

namespace {

// Names in files/ are kept short enough that "(n)" and ".trashinfo" still fit in a
// 255-byte name; the original name is kept in full in the info file.
constexpr size_t kMaxTrashName = 200;
// An extension up to this length survives the shortening, so the entry keeps its type.
constexpr size_t kMaxKeptExtension = 16;

std::string errnoText(int err) {
    char buffer[256];
    return strerror_r(err, buffer, sizeof buffer);
}

// Records a failure: errno = err, *why = what + the system's text for err.
bool fail(std::string* why, int err, const std::string& what) {
    if (why) *why = what + ": " + errnoText(err);
    errno = err;
    return false;
}

std::string uidText() {
    return std::to_string(getuid());
}

// The folder part of an absolute path without trailing slashes ("/" for "/a").
std::string parentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A folder that only this user may own: made 0700 when missing; an existing entry must
// be a folder itself (not a link) owned by the user.
bool ensureOwnFolder(const std::string& path, std::string* why) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return fail(why, errno, "cannot create " + path);
    }
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return fail(why, errno, "cannot read " + path);
    if (!S_ISDIR(st.st_mode)) return fail(why, ENOTDIR, path + " is not a folder");
    if (st.st_uid != getuid()) return fail(why, EPERM, path + " belongs to another user");
    return true;
}

bool ensureOwnTrash(const std::string& trash, std::string* why) {
    return ensureOwnFolder(trash, why) && ensureOwnFolder(trash + "/files", why) &&
           ensureOwnFolder(trash + "/info", why);
}

// Makes `path` and its missing parents (0700, as for the user's data folders); existing
// folders may be links to folders.
bool ensureFolders(const std::string& path, std::string* why) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) || fail(why, ENOTDIR, path + " is not a folder");
    }
    if (errno != ENOENT) return fail(why, errno, "cannot read " + path);
    std::string parent = parentOf(path);
    if (parent != path && !ensureFolders(parent, why)) return false;
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    if (errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    return fail(why, errno, "cannot create " + path);
}

// The device of `path`, or of its nearest existing parent when it does not exist yet.
bool deviceOf(std::string path, dev_t* dev) {
    for (;;) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) {
            *dev = st.st_dev;
            return true;
        }
        if (errno != ENOENT && errno != ENOTDIR) return false;
        std::string parent = parentOf(path);
        if (parent == path || parent == ".") return false;
        path = parent;
    }
}

bool isMountRoot(const std::string& folder) {
    struct statx stx;
    if (::statx(AT_FDCWD, folder.c_str(), AT_SYMLINK_NOFOLLOW, 0, &stx) != 0) return false;
    return (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
           (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

// The name for the entry in files/: the original name, cut (at a character boundary,
// keeping a short extension) when it is long.
std::string trashName(const std::string& name) {
    if (name.size() <= kMaxTrashName) return name;
    size_t dot = name.rfind('.');
    std::string extension;
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= kMaxKeptExtension) {
        extension = name.substr(dot);
    }
    size_t cut = kMaxTrashName - extension.size();
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return name.substr(0, cut) + extension;
}

std::string deletionDate() {
    time_t now = ::time(nullptr);
    struct tm local;
    char text[32] = "";
    if (::localtime_r(&now, &local)) ::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

bool writeAll(int fd, const std::string& data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= size_t(n);
    }
    return true;
}

// Removes the info file we made, only while it is still ours; errno is kept.
void removeInfo(const std::string& path, const struct stat& made) {
    int saved = errno;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && st.st_dev == made.st_dev && st.st_ino == made.st_ino) {
        ::unlink(path.c_str());
    }
    errno = saved;
}

// Writes the info file, then renames `entry` into files/ under the same name. `original`
// is the Path value before encoding (absolute for the home trash, relative to the top
// folder otherwise).
bool trashInto(const std::string& trash, const std::string& original, const std::string& entry,
               const std::string& name, std::string* why, std::string* trashedAs) {
    const std::string content = "[Trash Info]\nPath=" + encodeTrashPath(original) +
                                "\nDeletionDate=" + deletionDate() + "\n";
    const std::string base = trashName(name);
    for (uint32_t n = 0;; ++n) {
        std::string chosen = n == 0 ? base : numberedName(base, n);
        std::string info = trash + "/info/" + chosen + ".trashinfo";
        int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST && n < UINT32_MAX) continue;
            return fail(why, errno, "cannot create " + info);
        }
        struct stat made;
        bool ok = ::fstat(fd, &made) == 0;
        if (!ok) {
            int err = errno;
            ::close(fd);
            ::unlink(info.c_str());  // O_EXCL just made it; nobody else's file can be here
            return fail(why, err, "cannot write " + info);
        }
        ok = writeAll(fd, content) && ::fsync(fd) == 0;
        int err = errno;
        if (::close(fd) != 0 && ok) {
            ok = false;
            err = errno;
        }
        if (!ok) {
            removeInfo(info, made);
            return fail(why, err, "cannot write " + info);
        }
        std::string target = trash + "/files/" + chosen;
        if (renameFile(entry, target)) {
            if (trashedAs) *trashedAs = target;
            return true;
        }
        err = errno;
        removeInfo(info, made);
        // A leftover in files/ without its info file: leave it and take the next name.
        if (err == EEXIST && n < UINT32_MAX) continue;
        return fail(why, err, "cannot move " + entry + " to " + target);
    }
}

}  // namespace

std::string homeTrashFolder() {
    return joinPath(dataFolder(), "Trash");
}

std::string topFolderTrash(const std::string& topDir, std::string* error) {
    const std::string uid = uidText();
    std::string why;
    struct stat st;
    const std::string shared = joinPath(topDir, ".Trash");
    // lstat: a link named .Trash is not a folder here and is never used.
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        std::string trash = shared + "/" + uid;
        if (ensureOwnTrash(trash, &why)) return trash;
    }
    std::string trash = joinPath(topDir, ".Trash-" + uid);
    if (ensureOwnTrash(trash, &why)) return trash;
    int err = errno;
    if (error) *error = why;
    errno = err;
    return {};
}

std::string mountTopOf(const std::string& folder) {
    std::string current = stripTrailingSlashes(std::string_view(folder));
    while (current != "/" && current.size() > 1) {
        if (isMountRoot(current)) return current;
        std::string parent = parentOf(current);
        struct stat here, above;
        if (::stat(current.c_str(), &here) != 0 || ::stat(parent.c_str(), &above) != 0) {
            return current;
        }
        if (here.st_dev != above.st_dev) return current;
        current = parent;
    }
    return "/";
}

bool moveToTrash(const std::string& path, std::string* error, std::string* trashedAs) {
    std::string why;
    auto failed = [&](int err) {
        if (error) *error = why;
        errno = err;
        return false;
    };
    if (path.empty()) {
        fail(&why, ENOENT, "cannot move an empty path to the trash");
        return failed(ENOENT);
    }
    std::string entry = path;
    if (entry.front() != '/') {
        std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
        if (!cwd) {
            fail(&why, errno, "cannot move " + path + " to the trash");
            return failed(errno);
        }
        entry = joinPath(std::string(cwd.get()), path);
    }
    entry = stripTrailingSlashes(std::string_view(entry));
    const std::string parent = parentOf(entry);
    const std::string name = entry.substr(entry.rfind('/') + 1);
    if (name.empty() || name == "." || name == "..") {
        fail(&why, EINVAL, "cannot move " + path + " to the trash");
        return failed(EINVAL);
    }
    struct stat st;
    if (::lstat(entry.c_str(), &st) != 0) {
        fail(&why, errno, "cannot move " + entry + " to the trash");
        return failed(errno);
    }

    // The home folder's file system: the home trash, with the absolute path.
    const std::string home = homeTrashFolder();
    dev_t homeDevice;
    if (deviceOf(home, &homeDevice) && homeDevice == st.st_dev) {
        if (!ensureFolders(home + "/files", &why) || !ensureFolders(home + "/info", &why)) {
            return failed(errno);
        }
        if (trashInto(home, entry, entry, name, &why, trashedAs)) return true;
        // Another mount of the same file system (a bind mount) cannot be renamed from;
        // its own top folder's trash can take it.
        if (errno != EXDEV) return failed(errno);
    }

    // Another file system: the trash at its top folder, with the path relative to it.
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(parent.c_str(), nullptr),
                                                     &std::free);
    if (!real) {
        fail(&why, errno, "cannot find the folder of " + entry);
        return failed(errno);
    }
    const std::string realEntry = joinPath(std::string(real.get()), name);
    const std::string top = mountTopOf(real.get());
    std::string trash = topFolderTrash(top, &why);
    if (trash.empty()) {
        int err = errno;
        why = "no usable trash folder on " + top + " for " + entry + " (" + why + ")";
        return failed(err);
    }
    std::string relative = realEntry.substr(top == "/" ? 1 : top.size() + 1);
    if (trashInto(trash, relative, entry, name, &why, trashedAs)) return true;
    return failed(errno);
}

std::string encodeTrashPath(std::string_view path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (unsigned char c : path) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace platform
