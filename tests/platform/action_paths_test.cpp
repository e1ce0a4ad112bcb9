#include "platform/ActionPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

namespace platform {
namespace {

using quenrix::test::pathExists;
using quenrix::test::readFile;
using quenrix::test::TempDir;

TEST(ActionPathsTest, FreeNameIsTheFirstNumberedNameThatNamesNothing) {
    struct Entry {
        const char* name;
        enum { kFile, kFolder, kDanglingLink } kind = kFile;
    };
    static const struct {
        std::vector<Entry> existing;
        const char* name;
        const char* expected;
    } cases[] = {
        {{}, "new.txt", "new.txt"},
        {{{"a.txt"}, {"a(1).txt"}}, "a.txt", "a(2).txt"},
        {{{"a.txt"}, {"a(2).txt"}}, "a.txt", "a(1).txt"},
        {{{"README"}}, "README", "README(1)"},
        {{{"archive.tar.gz"}}, "archive.tar.gz", "archive.tar(1).gz"},
        {{{".profile"}}, ".profile", "(1).profile"},
        {{{"name."}}, "name.", "name(1)"},
        {{{"photos.d", Entry::kFolder}}, "photos.d", "photos(1).d"},
        {{{"l.txt", Entry::kDanglingLink}}, "l.txt", "l(1).txt"},
        {{{"\xff\xfe.bin"}}, "\xff\xfe.bin", "\xff\xfe(1).bin"},
        {{{"A.TXT"}}, "a.txt", "a.txt"},  // names differ by case here
    };
    for (const auto& c : cases) {
        TempDir dir;
        for (const Entry& e : c.existing) {
            if (e.kind == Entry::kFile) dir.createFile(e.name, "x");
            if (e.kind == Entry::kFolder) dir.createDir(e.name);
            if (e.kind == Entry::kDanglingLink) {
                ASSERT_EQ(symlink("nowhere", (dir / e.name).c_str()), 0);
            }
        }
        EXPECT_EQ(freeNameIn(dir.path(), c.name), dir / c.expected) << c.name;
        EXPECT_EQ(freeNameIn(dir.path() + "/", c.name), dir / c.expected) << c.name;
    }
}

TEST(ActionPathsTest, FreeNameFailsWhenTheNumberedNameCannotBeChecked) {
    TempDir dir;
    std::string longName(250, 'n');
    longName += ".txt";  // 254 bytes: "(1)" makes it too long for a name
    dir.createFile(longName, "x");
    errno = 0;
    EXPECT_EQ(freeNameIn(dir.path(), longName), "");
    EXPECT_EQ(errno, ENAMETOOLONG);

    // The "folder" is a file: nothing below it can be checked, nothing is free.
    std::string file = dir.createFile("plain", "x");
    EXPECT_EQ(freeNameIn(file, "a"), "");
    EXPECT_EQ(errno, ENOTDIR);
}

TEST(ActionPathsTest, CopyAndMoveTakeTheFreeNameAndReplaceNothing) {
    TempDir dir;
    std::string source = dir.createFile("in/a.txt", "new");
    std::string folder = dir.createDir("out");
    dir.createFile("out/a.txt", "old");

    std::string placed;
    ASSERT_TRUE(copyToFreeName(source, folder, "a.txt", &placed));
    EXPECT_EQ(placed, dir / "out/a(1).txt");
    EXPECT_EQ(readFile(placed), "new");
    EXPECT_EQ(readFile(source), "new");
    EXPECT_EQ(readFile(dir / "out/a.txt"), "old");

    ASSERT_TRUE(moveToFreeName(source, folder, "a.txt", &placed));
    EXPECT_EQ(placed, dir / "out/a(2).txt");
    EXPECT_EQ(readFile(placed), "new");
    EXPECT_FALSE(pathExists(source));
    EXPECT_EQ(readFile(dir / "out/a.txt"), "old");
    EXPECT_EQ(readFile(dir / "out/a(1).txt"), "new");

    EXPECT_FALSE(moveToFreeName(source, folder, "a.txt", &placed));
    EXPECT_EQ(errno, ENOENT);
}

TEST(ActionPathsTest, KeepTreeRemovesTheTargetOnlyAsALeadingFolder) {
    static const struct {
        const char* file;
        const char* target;
        const char* relative;  // nullptr: the file has no place below the target
    } cases[] = {
        {"/photos/2019/a.jpg", "/photos", "2019/a.jpg"},
        {"/photos/a.jpg", "/photos", "a.jpg"},
        {"/photos/a.jpg", "/photos/", "a.jpg"},
        {"/photos/a.jpg", "/photos//", "a.jpg"},
        {"/photos/2019/photos/a.jpg", "/photos", "2019/photos/a.jpg"},
        {"/data/x", "/data", "x"},
        {"/databackup/x", "/data", nullptr},
        {"/Photos/a.jpg", "/photos", nullptr},
        {"/a/photos/b.jpg", "/photos", nullptr},
        {"/x/y/z.txt", "/", "x/y/z.txt"},
        {"/z.txt", "/", "z.txt"},
        {"/photos", "/photos", nullptr},
        {"/photos/", "/photos", nullptr},
        {"/photos//2019/./a.jpg", "/photos", "2019/a.jpg"},
        {"/photos/../etc/passwd", "/photos", nullptr},
        {"/photos/2019/../../a", "/photos", nullptr},
        {"/photos/..a/b..", "/photos", "..a/b.."},
        {"/../a", "/", nullptr},
        {"relative/a", "/", nullptr},
        {"/a/b", "", nullptr},
        {"/a/b", "a", nullptr},
    };
    for (const auto& c : cases) {
        std::string label = std::string(c.file) + " under " + c.target;
        std::string relative = "unchanged";
        errno = 0;
        EXPECT_EQ(pathBelowTarget(c.file, c.target, &relative), c.relative != nullptr) << label;
        if (c.relative) {
            EXPECT_EQ(relative, c.relative) << label;
        } else {
            EXPECT_EQ(errno, EINVAL) << label;
            EXPECT_EQ(relative, "unchanged") << label;
        }
    }
}

TEST(ActionPathsTest, SubfoldersAreMadeOneLevelAtATime) {
    TempDir dir;
    std::string base = dir.createDir("dest");
    EXPECT_TRUE(createSubfolders(base, "2019/summer"));
    struct stat st;
    EXPECT_EQ(stat((dir / "dest/2019/summer").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_TRUE(createSubfolders(base, "2019/summer"));  // all there already
    EXPECT_TRUE(createSubfolders(base, ""));

    // A link to a folder is a folder.
    dir.createDir("elsewhere");
    ASSERT_EQ(symlink("../elsewhere", (dir / "dest/linked").c_str()), 0);
    EXPECT_TRUE(createSubfolders(base, "linked/inner"));
    EXPECT_TRUE(pathExists(dir / "elsewhere/inner"));

    std::string failed;
    dir.createFile("dest/2019/file", "keep");
    errno = 0;
    EXPECT_FALSE(createSubfolders(base, "2019/file/deeper", &failed));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(failed, dir / "dest/2019/file");
    EXPECT_EQ(readFile(dir / "dest/2019/file"), "keep");

    ASSERT_EQ(symlink("nowhere", (dir / "dest/dangling").c_str()), 0);
    EXPECT_FALSE(createSubfolders(base, "dangling/x", &failed));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(failed, dir / "dest/dangling");

    EXPECT_FALSE(createSubfolders(base, "a/../../escape"));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(pathExists(dir / "dest/a"));
    EXPECT_FALSE(pathExists(dir / "escape"));
}

TEST(ActionPathsTest, KeepTreeMoveBuildsTheTreeBelowTheDestination) {
    TempDir dir;
    std::string target = dir.createDir("photos");
    std::string destination = dir.createDir("backup");
    dir.createFile("backup/a.jpg", "already there");
    static const struct {
        const char* file;
        const char* folder;  // below the TempDir
        const char* placed;
    } cases[] = {
        {"photos/2019/summer/a.jpg", "backup/2019/summer", "backup/2019/summer/a.jpg"},
        {"photos/2019/b.jpg", "backup/2019", "backup/2019/b.jpg"},
        {"photos/a.jpg", "backup", "backup/a(1).jpg"},
    };
    for (const auto& c : cases) {
        std::string file = dir.createFile(c.file, c.file);
        for (std::string into : {destination, destination + "/"}) {
            std::string folder, name, placed;
            ASSERT_TRUE(keepTreeFolder(into, file, target, &folder, &name)) << c.file;
            EXPECT_EQ(folder, dir / c.folder) << c.file << " into " << into;
            if (into.back() == '/') continue;
            ASSERT_TRUE(moveToFreeName(file, folder, name, &placed)) << c.file;
            EXPECT_EQ(placed, dir / c.placed);
            EXPECT_EQ(readFile(placed), c.file);
            EXPECT_FALSE(pathExists(file));
        }
    }
    EXPECT_EQ(readFile(dir / "backup/a.jpg"), "already there");

    // No place below the target: nothing is made.
    std::string outside = dir.createFile("photosets/x/c.jpg", "c");
    std::string folder, name, failed;
    errno = 0;
    EXPECT_FALSE(keepTreeFolder(destination, outside, target, &folder, &name, &failed));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(pathExists(dir / "backup/x"));
    EXPECT_FALSE(pathExists(dir / "backup/sets"));

    // A file where a folder of the tree belongs.
    dir.createFile("backup/2020", "a file");
    std::string blocked = dir.createFile("photos/2020/d.jpg", "d");
    EXPECT_FALSE(keepTreeFolder(destination, blocked, target, &folder, &name, &failed));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_EQ(failed, dir / "backup/2020");
    EXPECT_EQ(readFile(blocked), "d");
}

}  // namespace
}  // namespace platform
