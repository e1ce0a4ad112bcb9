#include "platform/SpecialFolders.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "support/TempDir.h"
#include "support/TestEnv.h"

namespace platform {
namespace {

using quenrix::test::TempDir;
using quenrix::test::testHome;

// Sets or clears one environment variable for the scope's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : m_name(name) {
        if (const char* old = getenv(name)) m_old = old;
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(PlatformSpecialFolders, FollowTheEnvironment) {
    EXPECT_EQ(homeFolder(), testHome());
    EXPECT_EQ(configFolder(), testHome() + "/.config");
    EXPECT_EQ(dataFolder(), testHome() + "/.local/share");
    EXPECT_EQ(desktopFolder(), testHome() + "/Desktop");

    TempDir dir;
    {
        ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
        ScopedEnv data("XDG_DATA_HOME", "relative/is/ignored");
        ScopedEnv home("HOME", dir.path() + "/");
        EXPECT_EQ(homeFolder(), dir.path());
        EXPECT_EQ(configFolder(), dir / ".config");
        EXPECT_EQ(dataFolder(), dir / ".local/share");
    }
    {
        ScopedEnv data("XDG_DATA_HOME", dir / "data");
        EXPECT_EQ(dataFolder(), dir / "data");
    }
    EXPECT_EQ(dataFolder(), testHome() + "/.local/share");
}

TEST(PlatformSpecialFolders, DesktopFromUserDirs) {
    TempDir dir;
    ScopedEnv config("XDG_CONFIG_HOME", dir.path());
    struct {
        const char* contents;
        std::string desktop;
    } cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", testHome() + "/Schreibtisch"},
        {"# comment\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n  XDG_DESKTOP_DIR=\"/srv/desk/\"\n",
         "/srv/desk"},
        {"XDG_DESKTOP_DIR=\"$HOME/My \\\"Desk\\\"\"\n", testHome() + "/My \"Desk\""},
        {"XDG_DESKTOP_DIR=\"$HOME\"\n", testHome()},
        {"XDG_DESKTOP_DIR=\"relative\"\n", testHome() + "/Desktop"},
        {"XDG_DESKTOP_DIR=\"$HOME/unterminated\n", testHome() + "/Desktop"},
        {"XDG_DESKTOP_DIRECTORY=\"/x\"\n", testHome() + "/Desktop"},
        {"", testHome() + "/Desktop"},
    };
    for (const auto& c : cases) {
        std::ofstream(dir / "user-dirs.dirs", std::ios::trunc) << c.contents;
        EXPECT_EQ(desktopFolder(), c.desktop) << c.contents;
    }
}

TEST(PlatformSpecialFolders, ExecutableAndLogonName) {
    std::string folder = executableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.front(), '/');
    EXPECT_EQ(access(folder.c_str(), X_OK), 0) << folder;
    EXPECT_FALSE(logonName().empty());
}

}  // namespace
}  // namespace platform
