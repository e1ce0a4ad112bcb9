#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quenrix::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string base = fs::temp_directory_path().string() + "/quenrix-test-XXXXXX";
    if (!mkdtemp(base.data())) std::abort();
    m_path = base;
}

TempDir::~TempDir() {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(m_path, fs::directory_options::none, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_symlink()) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::remove_all(m_path, ec);
}

std::string TempDir::createFile(std::string_view rel, std::string_view data,
                                int64_t mtimeSeconds) const {
    std::string full = *this / rel;
    fs::create_directories(fs::path(full).parent_path());
    int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) std::abort();
    if (!data.empty() && ::write(fd, data.data(), data.size()) != ssize_t(data.size()))
        std::abort();
    ::close(fd);
    if (mtimeSeconds != 0) {
        struct timespec ts[2] = {{mtimeSeconds, 0}, {mtimeSeconds, 0}};
        ::utimensat(AT_FDCWD, full.c_str(), ts, 0);
    }
    return full;
}

std::string TempDir::createDir(std::string_view rel) const {
    std::string full = *this / rel;
    fs::create_directories(full);
    return full;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool pathExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace quenrix::test
