#include "platform/ProtectedFolders.h"

#include <sys/stat.h>

#include <algorithm>

#include "platform/SpecialFolders.h"

namespace platform {

ProtectedFolders ProtectedFolders::system() {
    std::vector<std::string> paths = {"/proc", "/sys", "/dev",   "/run",   "/boot",
                                      "/etc",  "/usr", "/opt",   "/var",   "/bin",
                                      "/sbin", "/lib", "/lib32", "/lib64", "/snap"};
    paths.push_back(configFolder());
    paths.push_back(dataFolder());
    return of(paths);
}

ProtectedFolders ProtectedFolders::of(const std::vector<std::string>& paths) {
    ProtectedFolders folders;
    for (const auto& path : paths) {
        // stat, not lstat: a linked /bin or home folder protects the folder it leads to.
        struct stat st;
        if (path.empty() || ::stat(path.c_str(), &st) != 0) continue;
        folders.m_paths.push_back(path);
        folders.m_ids.push_back(Id{uint64_t(st.st_dev), uint64_t(st.st_ino)});
    }
    return folders;
}

bool ProtectedFolders::contains(uint64_t dev, uint64_t ino) const {
    return std::any_of(m_ids.begin(), m_ids.end(),
                       [&](const Id& id) { return id.dev == dev && id.ino == ino; });
}

bool ProtectedFolders::containsPath(const std::string& path) const {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    return contains(uint64_t(st.st_dev), uint64_t(st.st_ino));
}

}  // namespace platform
