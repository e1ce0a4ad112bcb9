// The directory reading both empty-folder workers share: a folder opened without
// following a final symbolic link, its entries (hidden ones included) each with its own
// stat, and the test for a mount point. Thread-safe: no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/FileStat.h"

namespace Quenrix {

struct SearchEmptyFolderItem {
    std::string name;
    platform::FileStat st;
    int statError = 0;  // errno when the entry could not be stat'ed (st is then empty)
};

// Opens the folder `name` inside the open folder `parentFd` (or the path `name` when
// parentFd is AT_FDCWD) for reading, never through a final symbolic link unless
// followLink. Returns the descriptor, or -1 with errno set.
int openFolderAt(int parentFd, const std::string& name, bool followLink = false);

// Reads every entry of the open folder except "." and "..". The descriptor stays open and
// owned by the caller. false with *err = errno when the folder cannot be read.
bool readFolder(int fd, std::vector<SearchEmptyFolderItem>& items, int* err);

// True when the folder entry `name` of the open folder `parentFd` is the root of a mount
// (its own or a bind mount), or lies on another device than the folder holding it.
bool isMountPoint(int parentFd, const std::string& name, uint64_t parentDev, uint64_t dev);

}  // namespace Quenrix
