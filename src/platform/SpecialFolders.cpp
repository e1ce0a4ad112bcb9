#include "platform/SpecialFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "platform/Path.h"

namespace platform {

namespace {

// The passwd entry of the real user id; false when there is none.
bool passwdEntry(std::string* home, std::string* name) {
    long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? size_t(hint) : 4096);
    struct passwd pw;
    struct passwd* result = nullptr;
    while (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &result) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (!result) return false;
    if (home) *home = pw.pw_dir ? pw.pw_dir : "";
    if (name) *name = pw.pw_name ? pw.pw_name : "";
    return true;
}

// An environment variable holding an absolute path, or empty (relative values are invalid
// for the XDG variables and are ignored).
std::string absoluteEnv(const char* name) {
    const char* value = getenv(name);
    if (!value || value[0] != '/') return {};
    return stripTrailingSlashes(std::string_view(value));
}

// The value of KEY="..." in user-dirs.dirs: "$HOME/..." or an absolute path, with
// backslash escapes removed. Empty when the line is missing or malformed.
std::string userDir(const std::string& file, std::string_view key, const std::string& home) {
    std::ifstream in(file);
    std::string line, found;
    while (std::getline(in, line)) {
        std::string_view l = line;
        while (!l.empty() && (l.front() == ' ' || l.front() == '\t')) l.remove_prefix(1);
        if (l.substr(0, key.size()) != key) continue;
        l.remove_prefix(key.size());
        if (l.substr(0, 2) != "=\"") continue;
        l.remove_prefix(2);
        std::string value;
        bool closed = false;
        for (size_t i = 0; i < l.size(); ++i) {
            if (l[i] == '\\' && i + 1 < l.size()) {
                value.push_back(l[++i]);
            } else if (l[i] == '"') {
                closed = true;
                break;
            } else {
                value.push_back(l[i]);
            }
        }
        if (!closed) continue;
        if (value == "$HOME" || value.rfind("$HOME/", 0) == 0) {
            value = home + value.substr(5);
        } else if (value.empty() || value.front() != '/') {
            continue;
        }
        found = value;  // the last valid line wins, as when the file is sourced by a shell
    }
    return found.empty() ? found : stripTrailingSlashes(found);
}

}  // namespace

std::string homeFolder() {
    const char* home = getenv("HOME");
    if (home && home[0] != '\0') return stripTrailingSlashes(std::string_view(home));
    std::string fromPasswd;
    if (passwdEntry(&fromPasswd, nullptr) && !fromPasswd.empty()) {
        return stripTrailingSlashes(fromPasswd);
    }
    return "/";
}

std::string configFolder() {
    std::string folder = absoluteEnv("XDG_CONFIG_HOME");
    return folder.empty() ? joinPath(homeFolder(), ".config") : folder;
}

std::string dataFolder() {
    std::string folder = absoluteEnv("XDG_DATA_HOME");
    return folder.empty() ? joinPath(homeFolder(), ".local/share") : folder;
}

std::string desktopFolder() {
    std::string home = homeFolder();
    std::string folder =
        userDir(joinPath(configFolder(), "user-dirs.dirs"), "XDG_DESKTOP_DIR", home);
    if (folder.empty()) folder = absoluteEnv("XDG_DESKTOP_DIR");
    return folder.empty() ? joinPath(home, "Desktop") : folder;
}

std::string executableFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return {};
        if (size_t(n) < buffer.size()) {
            std::string exe(buffer.data(), size_t(n));
            size_t slash = exe.rfind('/');
            if (slash == std::string::npos) return {};
            return slash == 0 ? "/" : exe.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string logonName() {
    std::string name;
    if (passwdEntry(nullptr, &name) && !name.empty()) return name;
    for (const char* var : {"LOGNAME", "USER"}) {
        const char* value = getenv(var);
        if (value && value[0] != '\0') return value;
    }
    return std::to_string(getuid());
}

}  // namespace platform
