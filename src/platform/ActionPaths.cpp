#include "platform/ActionPaths.h"

#include <sys/stat.h>

#include <cerrno>
#include <limits>
#include <vector>

#include "platform/FileOps.h"
#include "platform/Path.h"

namespace platform {

namespace {

// How often a copy or move chooses a new name after losing one to another writer before
// it gives up; only a folder that fills up as fast as we look gets there.
constexpr int kPlaceAttempts = 64;

// lstat answers whether `path` is taken: 1 taken, 0 free, -1 unknown (errno set).
int taken(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return 1;
    return errno == ENOENT ? 0 : -1;
}

template <typename Op>
bool placeUnderFreeName(const std::string& from, const std::string& folder, const std::string& name,
                        std::string* placed, Op op) {
    for (int attempt = 0; attempt < kPlaceAttempts; ++attempt) {
        std::string target = freeNameIn(folder, name);
        if (target.empty()) return false;
        if (op(from, target)) {
            if (placed) *placed = target;
            return true;
        }
        if (errno != EEXIST) return false;
        // The name appeared after we chose it; the source is untouched, so choose again.
        struct stat st;
        if (::lstat(from.c_str(), &st) != 0) return false;
    }
    errno = EEXIST;
    return false;
}

// Splits `path` at "/" into its components, dropping empty ones.
std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string_view::npos) slash = path.size();
        if (slash > start) parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

}  // namespace

std::string numberedName(std::string_view name, uint32_t n) {
    size_t dot = name.rfind('.');
    std::string_view base = dot == std::string_view::npos ? name : name.substr(0, dot);
    std::string_view extension =
        dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    std::string result(base);
    result += '(';
    result += std::to_string(n);
    result += ')';
    if (!extension.empty()) {
        result += '.';
        result += extension;
    }
    return result;
}

std::string freeNameIn(const std::string& folder, const std::string& name) {
    std::string path = joinPath(folder, name);
    int state = taken(path);
    if (state <= 0) return state == 0 ? path : std::string();
    for (uint32_t n = 1;; ++n) {
        path = joinPath(folder, numberedName(name, n));
        state = taken(path);
        if (state == 0) return path;
        if (state < 0) return {};
        if (n == std::numeric_limits<uint32_t>::max()) break;
    }
    errno = EEXIST;
    return {};
}

bool copyToFreeName(const std::string& from, const std::string& folder, const std::string& name,
                    std::string* placed) {
    return placeUnderFreeName(from, folder, name, placed, copyFile);
}

bool moveToFreeName(const std::string& from, const std::string& folder, const std::string& name,
                    std::string* placed) {
    return placeUnderFreeName(from, folder, name, placed, moveFile);
}

bool pathBelowTarget(std::string_view file, std::string_view target, std::string* relative) {
    if (target.empty() || target.front() != '/') {
        errno = EINVAL;
        return false;
    }
    while (target.size() > 1 && target.back() == '/') target.remove_suffix(1);
    std::string_view rest;
    if (target == "/") {
        if (file.empty() || file.front() != '/') {
            errno = EINVAL;
            return false;
        }
        rest = file;
    } else {
        if (file.size() <= target.size() || file.compare(0, target.size(), target) != 0 ||
            file[target.size()] != '/') {
            errno = EINVAL;
            return false;
        }
        rest = file.substr(target.size());
    }
    std::string joined;
    for (std::string_view part : components(rest)) {
        if (part == ".") continue;
        if (part == "..") {
            errno = EINVAL;
            return false;
        }
        if (!joined.empty()) joined += '/';
        joined += part;
    }
    if (joined.empty()) {  // the target itself, or only "." below it
        errno = EINVAL;
        return false;
    }
    *relative = std::move(joined);
    return true;
}

bool createSubfolders(const std::string& base, std::string_view subfolders,
                      std::string* failedFolder) {
    const std::vector<std::string_view> parts = components(subfolders);
    for (std::string_view part : parts) {
        if (part == "..") {
            errno = EINVAL;
            return false;
        }
    }
    std::string current = base;
    for (std::string_view part : parts) {
        if (part == ".") continue;
        current = joinPath(current, part);
        if (!createFolder(current)) {
            int err = errno;
            struct stat st;
            // Already there: fine when it is a folder or a link to one.
            if (err == EEXIST && ::stat(current.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                continue;
            }
            errno = err == EEXIST ? ENOTDIR : err;
            if (failedFolder) *failedFolder = current;
            return false;
        }
    }
    return true;
}

bool keepTreeFolder(const std::string& destination, std::string_view file, std::string_view target,
                    std::string* folder, std::string* name, std::string* failedFolder) {
    std::string relative;
    if (!pathBelowTarget(file, target, &relative)) return false;
    size_t slash = relative.rfind('/');
    std::string_view subfolders = slash == std::string::npos
                                      ? std::string_view()
                                      : std::string_view(relative).substr(0, slash);
    if (!createSubfolders(destination, subfolders, failedFolder)) return false;
    *folder = subfolders.empty() ? stripTrailingSlashes(std::string_view(destination))
                                 : joinPath(destination, subfolders);
    *name = relative.substr(slash == std::string::npos ? 0 : slash + 1);
    return true;
}

}  // namespace platform
