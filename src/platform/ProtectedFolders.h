// The system folders a search never enters: /proc, /sys, /dev, /run, /boot, /etc, /usr,
// /opt, /var, /bin, /sbin, /lib, /lib32, /lib64, /snap and the user's configuration and
// data folders. Compared by device and inode, so a trailing slash or a linked home folder
// cannot unprotect one. Build once per search; then read-only and thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class ProtectedFolders {
public:
    // Resolves the list of this machine and user (folders that do not exist are left out).
    static ProtectedFolders system();
    // A list of the given folders (tests).
    static ProtectedFolders of(const std::vector<std::string>& paths);

    // True when the folder with this device and inode is protected.
    bool contains(uint64_t dev, uint64_t ino) const;
    // True when `path` names (through stat, following links) a protected folder.
    bool containsPath(const std::string& path) const;
    const std::vector<std::string>& paths() const { return m_paths; }

private:
    struct Id {
        uint64_t dev;
        uint64_t ino;
    };
    std::vector<std::string> m_paths;
    std::vector<Id> m_ids;
};

}  // namespace platform
