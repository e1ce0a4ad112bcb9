#include "support/TestEnv.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <string>

namespace quenrix::test {

namespace {

std::string& home() {
    static std::string path;
    return path;
}

struct RemoveAtExit {
    ~RemoveAtExit() {
        if (!home().empty()) {
            std::error_code ec;
            // Tests may leave read-only files behind; make them removable first.
            for (auto it = std::filesystem::recursive_directory_iterator(
                     home(), std::filesystem::directory_options::none, ec);
                 !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
            }
            std::filesystem::remove_all(home(), ec);
        }
    }
};

}  // namespace

void setUpTestEnvironment() {
    std::string base = std::filesystem::temp_directory_path().string() + "/quenrix-home-XXXXXX";
    if (!mkdtemp(base.data())) std::abort();
    home() = base;
    static RemoveAtExit cleanup;
    for (const char* sub : {"/.config", "/.local/share", "/.cache", "/Desktop", "/.local/state"}) {
        std::filesystem::create_directories(base + sub);
    }
    setenv("HOME", base.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base + "/.config").c_str(), 1);
    setenv("XDG_DATA_HOME", (base + "/.local/share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (base + "/.cache").c_str(), 1);
    setenv("XDG_STATE_HOME", (base + "/.local/state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", base.c_str(), 1);
    unsetenv("XDG_DESKTOP_DIR");
    setlocale(LC_CTYPE, "C.UTF-8");
    setlocale(LC_COLLATE, "C.UTF-8");
    std::locale::global(std::locale("C.UTF-8"));
}

const std::string& testHome() {
    return home();
}

}  // namespace quenrix::test
