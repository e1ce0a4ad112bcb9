#include "folder/SearchEmptyFolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Quenrix {

int openFolderAt(int parentFd, const std::string& name, bool followLink) {
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (!followLink) flags |= O_NOFOLLOW;
    return ::openat(parentFd, name.c_str(), flags);
}

bool readFolder(int fd, std::vector<SearchEmptyFolderItem>& items, int* err) {
    items.clear();
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) {
        if (err) *err = errno;
        return false;
    }
    DIR* dir = ::fdopendir(own);
    if (!dir) {
        if (err) *err = errno;
        ::close(own);
        return false;
    }
    ::rewinddir(dir);
    errno = 0;
    while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        SearchEmptyFolderItem item;
        item.name = entry->d_name;
        if (!platform::statAt(fd, entry->d_name, item.st, &item.statError)) {
            item.st = platform::FileStat{};
        } else {
            item.statError = 0;
        }
        items.push_back(std::move(item));
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        if (err) *err = readError;
        return false;
    }
    return true;
}

bool isMountPoint(int parentFd, const std::string& name, uint64_t parentDev, uint64_t dev) {
    if (dev != parentDev) return true;
    struct statx stx;
    if (::statx(parentFd, name.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, 0, &stx) != 0) {
        return true;  // unknown: treated as the safe answer
    }
    return (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
           (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

}  // namespace Quenrix
