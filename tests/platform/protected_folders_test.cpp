#include "platform/ProtectedFolders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/SpecialFolders.h"
#include "support/TempDir.h"

namespace platform {
namespace {

using quenrix::test::TempDir;

struct stat statOf(const std::string& path) {
    struct stat st = {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
}

TEST(ProtectedFoldersTest, FindsAFolderHoweverItIsNamed) {
    TempDir dir;
    std::string guarded = dir.createDir("guarded");
    dir.createDir("open");
    ASSERT_EQ(symlink("guarded", (dir / "alias").c_str()), 0);
    ProtectedFolders folders = ProtectedFolders::of({guarded, dir / "missing"});
    ASSERT_EQ(folders.paths().size(), 1u);  // a folder that does not exist is left out

    struct {
        std::string path;
        bool protectedFolder;
    } cases[] = {
        {guarded, true},        {guarded + "/", true},           {dir / "alias", true},
        {dir / "alias/", true}, {dir / "open/../guarded", true}, {dir / "open", false},
        {dir.path(), false},    {dir / "missing", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(folders.containsPath(c.path), c.protectedFolder) << c.path;
    }
    struct stat st = statOf(guarded);
    EXPECT_TRUE(folders.contains(st.st_dev, st.st_ino));
    st = statOf(dir / "open");
    EXPECT_FALSE(folders.contains(st.st_dev, st.st_ino));
}

TEST(ProtectedFoldersTest, ProtectedFolderGivenThroughALink) {
    // A linked folder in the list protects the folder it leads to.
    TempDir dir;
    std::string real = dir.createDir("real");
    ASSERT_EQ(symlink("real", (dir / "link").c_str()), 0);
    ProtectedFolders folders = ProtectedFolders::of({dir / "link"});
    EXPECT_TRUE(folders.containsPath(real));
}

TEST(ProtectedFoldersTest, SystemListHoldsSystemAndUserFolders) {
    ProtectedFolders folders = ProtectedFolders::system();
    struct stat st = statOf("/usr");
    EXPECT_TRUE(folders.contains(st.st_dev, st.st_ino));
    const char* data = getenv("XDG_DATA_HOME");
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(folders.containsPath(data));
    EXPECT_TRUE(folders.containsPath(std::string(data) + "/"));
    EXPECT_TRUE(folders.containsPath(configFolder()));
    for (const char* path : {"/proc", "/etc", "/dev"}) {
        EXPECT_TRUE(folders.containsPath(path)) << path;
    }
    EXPECT_FALSE(folders.containsPath("/"));
    EXPECT_FALSE(folders.containsPath(homeFolder()));
    TempDir dir;
    EXPECT_FALSE(folders.containsPath(dir.path()));
}

}  // namespace
}  // namespace platform
