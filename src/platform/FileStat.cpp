#include "platform/FileStat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Times.h"

namespace platform {

namespace {

constexpr unsigned kStatxFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
constexpr unsigned kStatxMask = STATX_BASIC_STATS | STATX_BTIME;

int64_t nanoseconds(const struct statx_timestamp& ts) {
    return int64_t(ts.tv_sec) * 1000000000 + int64_t(ts.tv_nsec);
}

void fill(const struct statx& stx, std::string_view name, FileStat& out) {
    out.size = stx.stx_size;
    out.accessNs = nanoseconds(stx.stx_atime);
    out.writeNs = nanoseconds(stx.stx_mtime);
    // The change time moves on rename and chmod, so it never stands in for the birth time.
    out.createNs = (stx.stx_mask & STATX_BTIME) ? nanoseconds(stx.stx_btime) : out.writeNs;
    out.dev = makedev(stx.stx_dev_major, stx.stx_dev_minor);
    out.ino = stx.stx_ino;
    out.mode = stx.stx_mode;
    out.nlink = stx.stx_nlink;
    out.attributes = attributesFor(name, stx.stx_mode);
}

// The last component of a path, ignoring trailing slashes ("" for "/").
std::string_view lastComponent(std::string_view path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string_view::npos) return {};
    size_t slash = path.rfind('/', end);
    size_t begin = slash == std::string_view::npos ? 0 : slash + 1;
    return path.substr(begin, end + 1 - begin);
}

}  // namespace

bool FileStat::isRegular() const {
    return S_ISREG(mode);
}

uint32_t attributesFor(std::string_view name, uint32_t mode) {
    uint32_t attributes = 0;
    if (S_ISDIR(mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    } else if (S_ISLNK(mode)) {
        attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    } else if (!S_ISREG(mode)) {
        attributes |= FILE_ATTRIBUTE_SYSTEM;
    }
    // A link's own permission bits mean nothing; it is never read-only.
    if (!S_ISLNK(mode) && (mode & S_IWUSR) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
    if (!name.empty() && name.front() == '.') attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes;
}

bool statPath(const std::string& path, FileStat& out, int* err) {
    struct statx stx;
    if (::statx(AT_FDCWD, path.c_str(), kStatxFlags, kStatxMask, &stx) != 0) {
        if (err) *err = errno;
        return false;
    }
    fill(stx, lastComponent(path), out);
    return true;
}

bool statAt(int dirFd, const char* name, FileStat& out, int* err) {
    struct statx stx;
    if (::statx(dirFd, name, kStatxFlags, kStatxMask, &stx) != 0) {
        if (err) *err = errno;
        return false;
    }
    fill(stx, name, out);
    return true;
}

WIN32_FIND_DATAW toFindData(const FileStat& st, std::wstring name) {
    WIN32_FIND_DATAW fd;
    fd.dwFileAttributes = st.attributes;
    fd.ftCreationTime = fileTimeFromUnixNs(st.createNs);
    fd.ftLastAccessTime = fileTimeFromUnixNs(st.accessNs);
    fd.ftLastWriteTime = fileTimeFromUnixNs(st.writeNs);
    fd.nFileSizeHigh = uint32_t(st.size >> 32);
    fd.nFileSizeLow = uint32_t(st.size & 0xFFFFFFFFu);
    fd.cFileName = std::move(name);
    return fd;
}

DirReader::DirReader(const std::string& path, bool followLink) {
    // O_NOFOLLOW: a final symbolic link is never entered (ENOTDIR with O_DIRECTORY).
    int fd =
        ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
    if (fd < 0) {
        m_error = errno;
        return;
    }
    m_dir = ::fdopendir(fd);
    if (!m_dir) {
        m_error = errno;
        ::close(fd);
    }
}

DirReader::~DirReader() {
    if (m_dir) ::closedir(m_dir);
}

bool DirReader::next(std::string& name, FileStat& st) {
    if (!m_dir) return false;
    int fd = ::dirfd(m_dir);
    for (;;) {
        errno = 0;
        struct dirent* entry = ::readdir(m_dir);
        if (!entry) {
            if (errno != 0) m_error = errno;
            return false;
        }
        const char* n = entry->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
        // An entry that cannot be stat'ed (gone meanwhile, or a folder without search
        // permission) cannot be reached by any later step either; leave it out.
        if (!statAt(fd, n, st)) continue;
        name.assign(n);
        return true;
    }
}

}  // namespace platform
