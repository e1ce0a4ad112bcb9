#include "platform/FileOps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace platform {

namespace {

constexpr size_t kCopyBufferSize = 1 << 20;

// Keeps errno across clean-up calls that may change it.
class ErrnoKeeper {
public:
    ErrnoKeeper() : m_saved(errno) {}
    ~ErrnoKeeper() { errno = m_saved; }

private:
    int m_saved;
};

int renameNoReplace(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
    return int(::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 1u /* NOREPLACE */));
#endif
}

void closeKeepingErrno(int fd) {
    ErrnoKeeper keep;
    ::close(fd);
}

// Removes `path` only while it is still the file we created (dev, ino), keeping errno.
void removeOwnFile(const std::string& path, dev_t dev, ino_t ino) {
    ErrnoKeeper keep;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && st.st_dev == dev && st.st_ino == ino) {
        ::unlink(path.c_str());
    }
}

// Opens a file for reading its content: never through a link, never blocking on a FIFO,
// and only when it is a regular file (EISDIR for a folder, EINVAL for anything else).
int openSource(const std::string& path, struct stat& st) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0) {
        closeKeepingErrno(fd);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool copyData(int in, int out) {
    std::unique_ptr<char[]> buffer(new char[kCopyBufferSize]);
    for (;;) {
        ssize_t n = ::read(in, buffer.get(), kCopyBufferSize);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        if (!writeAll(out, buffer.get(), size_t(n))) return false;
    }
}

// Copies the open regular file `in` (whose stat is `st`) into the new file `to`: data,
// mode, access and write times, synced to disk. The target is created exclusively, so
// nothing is replaced. On failure no target is left and errno tells why. On success
// *created holds the new file's stat.
bool copyInto(int in, const struct stat& st, const std::string& to, struct stat* created) {
    // Owner-only until the copy is complete; the source's mode is applied at the end.
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (out < 0) return false;
    struct stat outSt;
    if (::fstat(out, &outSt) != 0) {
        ErrnoKeeper keep;
        ::close(out);
        ::unlink(to.c_str());  // O_EXCL just made it; nobody else's file can be here
        return false;
    }
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    bool ok = copyData(in, out) && ::fchmod(out, st.st_mode & 07777) == 0 &&
              ::futimens(out, times) == 0 && ::fsync(out) == 0;
    if (!ok) closeKeepingErrno(out);
    if (ok && ::close(out) != 0) ok = false;
    if (!ok) {
        removeOwnFile(to, outSt.st_dev, outSt.st_ino);
        return false;
    }
    if (created) *created = outSt;
    return true;
}

// Makes a new directory entry durable (best effort: some file systems refuse fsync on
// a folder).
void syncParentFolder(const std::string& path) {
    size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A move between file systems: copy, sync, and remove the source only once the copy is
// safe. The source must not have changed meanwhile (EBUSY otherwise), or removing it
// would lose what the copy missed.
bool moveByCopy(const std::string& from, const std::string& to) {
    struct stat st;
    int in = openSource(from, st);
    if (in < 0) return false;
    struct stat created;
    if (!copyInto(in, st, to, &created)) {
        closeKeepingErrno(in);
        return false;
    }
    syncParentFolder(to);
    struct stat after, now;
    bool unchanged =
        ::fstat(in, &after) == 0 && after.st_size == st.st_size &&
        after.st_mtim.tv_sec == st.st_mtim.tv_sec && after.st_mtim.tv_nsec == st.st_mtim.tv_nsec &&
        ::lstat(from.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino;
    ::close(in);
    if (!unchanged) {
        errno = EBUSY;
        removeOwnFile(to, created.st_dev, created.st_ino);
        return false;
    }
    if (::unlink(from.c_str()) != 0) {
        removeOwnFile(to, created.st_dev, created.st_ino);
        return false;
    }
    return true;
}

// Where renameat2 cannot refuse to replace: link the new name (which fails when it
// exists), then drop the old one. Folders cannot be linked. On a file system without
// hard links a regular file is copied when `copyWithoutLinks` allows it.
bool moveByLink(const std::string& from, const std::string& to, bool copyWithoutLinks) {
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
        errno = EINVAL;
        return false;
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        // A file system without hard links: an exclusive copy keeps the guarantee.
        if (copyWithoutLinks && S_ISREG(st.st_mode) && (errno == EPERM || errno == EOPNOTSUPP)) {
            return moveByCopy(from, to);
        }
        return false;
    }
    if (::unlink(from.c_str()) != 0) {
        removeOwnFile(to, st.st_dev, st.st_ino);
        return false;
    }
    return true;
}

}  // namespace

bool deleteFile(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
        errno = EACCES;
        return false;
    }
    return ::unlink(path.c_str()) == 0;
}

bool moveFile(const std::string& from, const std::string& to) {
    if (renameNoReplace(from.c_str(), to.c_str()) == 0) return true;
    switch (errno) {
        case EINVAL:
        case ENOSYS:
        case EOPNOTSUPP:
            return moveByLink(from, to, true);
        case EXDEV: {
            struct stat st;
            if (::lstat(from.c_str(), &st) != 0) return false;
            if (!S_ISREG(st.st_mode)) {
                errno = EXDEV;
                return false;
            }
            return moveByCopy(from, to);
        }
        default:
            return false;
    }
}

bool renameFile(const std::string& from, const std::string& to) {
    if (renameNoReplace(from.c_str(), to.c_str()) == 0) return true;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
        return moveByLink(from, to, false);
    }
    return false;
}

bool copyFile(const std::string& from, const std::string& to) {
    struct stat st;
    int in = openSource(from, st);
    if (in < 0) return false;
    bool ok = copyInto(in, st, to, nullptr);
    closeKeepingErrno(in);
    return ok;
}

bool createFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool removeFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

std::string createTempFileName(const std::string& folder) {
    if (folder.empty()) {
        errno = ENOENT;
        return {};
    }
    std::string prefix = folder.back() == '/' ? folder : folder + "/";
    // Start somewhere different each call so that concurrent callers rarely collide.
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint32_t start = uint32_t(ts.tv_nsec ^ (ts.tv_sec << 8) ^ (uint32_t(getpid()) * 2654435761u));
    for (uint32_t i = 0; i < 0x10000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "___%04X.TMP", unsigned((start + i) & 0xFFFF));
        std::string path = prefix + name;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) return {};
    }
    errno = EEXIST;
    return {};
}

bool stillSameFile(const std::string& path, const FileStat& recorded) {
    FileStat now;
    if (!statPath(path, now)) return false;
    return now.dev == recorded.dev && now.ino == recorded.ino && now.size == recorded.size &&
           now.writeNs == recorded.writeNs;
}

bool syncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    closeKeepingErrno(fd);
    return ok;
}

}  // namespace platform
