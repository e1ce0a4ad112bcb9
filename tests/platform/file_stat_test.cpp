#include "platform/FileStat.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>

#include "platform/FileOps.h"
#include "platform/Times.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace platform {
namespace {

using quenrix::test::pathExists;
using quenrix::test::TempDir;

// "写真.jpg" in Shift_JIS: not valid UTF-8.
const char kShiftJisName[] = "\x8E\xCA\x90\x5E.jpg";

TEST(PlatformAttributes, FromNameAndMode) {
    struct {
        const char* name;
        uint32_t mode;
        uint32_t attributes;
    } cases[] = {
        {"file", S_IFREG | 0644, 0},
        {"file", S_IFREG | 0444, FILE_ATTRIBUTE_READONLY},
        {"file", S_IFREG | 0200, 0},  // only the owner's write bit counts
        {"file", S_IFREG | 0466, FILE_ATTRIBUTE_READONLY},
        {".file", S_IFREG | 0644, FILE_ATTRIBUTE_HIDDEN},
        {"dir", S_IFDIR | 0755, FILE_ATTRIBUTE_DIRECTORY},
        {".git", S_IFDIR | 0555,
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY},
        {"fifo", S_IFIFO | 0644, FILE_ATTRIBUTE_SYSTEM},
        {"sock", S_IFSOCK | 0755, FILE_ATTRIBUTE_SYSTEM},
        {"null", S_IFCHR | 0666, FILE_ATTRIBUTE_SYSTEM},
        {"link", S_IFLNK | 0777, FILE_ATTRIBUTE_REPARSE_POINT},
        {"link", S_IFLNK | 0000, FILE_ATTRIBUTE_REPARSE_POINT},  // a link is never read-only
        {"", S_IFDIR | 0755, FILE_ATTRIBUTE_DIRECTORY},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(attributesFor(c.name, c.mode), c.attributes)
            << c.name << " mode " << std::oct << c.mode;
    }
}

TEST(PlatformAttributes, OfRealEntries) {
    TempDir dir;
    std::string readOnly = dir.createFile("ro.txt", "x");
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    dir.createFile(".hidden", "x");
    dir.createDir("sub");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);
    ASSERT_EQ(symlink("sub", (dir / "link").c_str()), 0);
    dir.createFile("plain.txt", "x");

    struct {
        const char* name;
        uint32_t attributes;
    } cases[] = {
        {"ro.txt", FILE_ATTRIBUTE_READONLY},
        {".hidden", FILE_ATTRIBUTE_HIDDEN},
        {"sub", FILE_ATTRIBUTE_DIRECTORY},
        {"sub/", FILE_ATTRIBUTE_DIRECTORY},
        {"fifo", FILE_ATTRIBUTE_SYSTEM},
        {"link", FILE_ATTRIBUTE_REPARSE_POINT},
        {"plain.txt", 0},
    };
    for (const auto& c : cases) {
        FileStat st;
        ASSERT_TRUE(statPath(dir / c.name, st)) << c.name;
        EXPECT_EQ(st.attributes, c.attributes) << c.name;
    }
    FileStat st;
    ASSERT_TRUE(statPath("/dev/null", st));
    EXPECT_EQ(st.attributes, FILE_ATTRIBUTE_SYSTEM);
    EXPECT_FALSE(st.isRegular());
}

TEST(PlatformStatPath, ReportsSizeTimesAndIdentity) {
    TempDir dir;
    std::string path = dir.createFile("a.bin", "hello", 1600000000);
    FileStat st;
    ASSERT_TRUE(statPath(path, st));
    EXPECT_EQ(st.size, 5u);
    EXPECT_EQ(st.writeNs, 1600000000LL * 1000000000);
    EXPECT_EQ(st.accessNs, 1600000000LL * 1000000000);
    EXPECT_NE(st.createNs, 0);
    EXPECT_TRUE(st.isRegular());
    EXPECT_FALSE(st.isDirectory());
    EXPECT_EQ(st.nlink, 1u);
    struct stat ref;
    ASSERT_EQ(lstat(path.c_str(), &ref), 0);
    EXPECT_EQ(st.dev, uint64_t(ref.st_dev));
    EXPECT_EQ(st.ino, uint64_t(ref.st_ino));
    EXPECT_EQ(st.mode, uint32_t(ref.st_mode));

    // A link is described itself, not its target.
    ASSERT_EQ(symlink(path.c_str(), (dir / "l").c_str()), 0);
    ASSERT_TRUE(statPath(dir / "l", st));
    EXPECT_TRUE(st.isSymlink());
    EXPECT_NE(st.ino, uint64_t(ref.st_ino));

    int err = 0;
    EXPECT_FALSE(statPath(dir / "missing", st, &err));
    EXPECT_EQ(err, ENOENT);
}

TEST(PlatformFindData, CarriesAttributesTimesSizeAndName) {
    FileStat st;
    st.size = 0x100000005ULL;
    st.createNs = 1000;
    st.accessNs = 2000;
    st.writeNs = 3000;
    st.attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    WIN32_FIND_DATAW fd = toFindData(st, L"name.txt");
    EXPECT_EQ(fd.dwFileAttributes, st.attributes);
    EXPECT_EQ(fd.nFileSizeHigh, 1u);
    EXPECT_EQ(fd.nFileSizeLow, 5u);
    EXPECT_EQ(findDataSize(fd), st.size);
    EXPECT_EQ(fileTimeTicks(fd.ftCreationTime), kUnixEpochTicks + 10);
    EXPECT_EQ(fileTimeTicks(fd.ftLastAccessTime), kUnixEpochTicks + 20);
    EXPECT_EQ(fileTimeTicks(fd.ftLastWriteTime), kUnixEpochTicks + 30);
    EXPECT_EQ(fd.cFileName, L"name.txt");
    EXPECT_TRUE(fd.cAlternateFileName.empty());
}

TEST(DirReaderTest, ListsEveryEntryOnceWithItsStat) {
    TempDir dir;
    dir.createFile("a.txt", "aa");
    dir.createFile(".hidden", "h");
    dir.createDir("sub");
    dir.createFile("sub/inner.txt", "not listed");
    ASSERT_EQ(symlink("sub", (dir / "link").c_str()), 0);

    std::map<std::string, FileStat> seen;
    DirReader reader(dir.path());
    ASSERT_TRUE(reader.ok());
    std::string name;
    FileStat st;
    while (reader.next(name, st)) {
        EXPECT_TRUE(seen.emplace(name, st).second) << "twice: " << name;
    }
    EXPECT_EQ(reader.error(), 0);
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen["a.txt"].size, 2u);
    EXPECT_TRUE(seen["a.txt"].isRegular());
    EXPECT_EQ(seen[".hidden"].attributes, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(seen["sub"].isDirectory());
    EXPECT_EQ(seen["link"].attributes, FILE_ATTRIBUTE_REPARSE_POINT);
}

TEST(DirReaderTest, FailsForMissingFolderAndLinkedFolder) {
    TempDir dir;
    dir.createDir("real");
    ASSERT_EQ(symlink("real", (dir / "link").c_str()), 0);
    DirReader missing(dir / "missing");
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.error(), ENOENT);
    std::string name;
    FileStat st;
    EXPECT_FALSE(missing.next(name, st));

    DirReader linked(dir / "link");
    EXPECT_FALSE(linked.ok());
    EXPECT_NE(linked.error(), 0);

    DirReader file(dir.createFile("f"));
    EXPECT_FALSE(file.ok());
    EXPECT_EQ(file.error(), ENOTDIR);
}

TEST(DirReaderTest, ReachesALegacyEncodedNameThroughWideText) {
    TempDir dir;
    std::string original = dir.createFile(kShiftJisName, "jpeg bytes");

    DirReader reader(dir.path());
    ASSERT_TRUE(reader.ok());
    std::string name;
    FileStat st;
    ASSERT_TRUE(reader.next(name, st));
    EXPECT_EQ(name, kShiftJisName);
    EXPECT_EQ(st.size, 10u);
    EXPECT_FALSE(reader.next(name, st));

    std::wstring wide = tovy::fromUtf8(dir.path() + "/" + name);
    std::wstring wideName = tovy::fromUtf8(name);
    EXPECT_EQ(wideName.substr(wideName.size() - 4), L".jpg");
    EXPECT_TRUE(tovy::isEscapedByte(wideName[0]));
    std::string back = tovy::toUtf8(wide);
    EXPECT_EQ(back, original);

    FileStat again;
    ASSERT_TRUE(statPath(back, again));
    EXPECT_EQ(again.ino, st.ino);
    EXPECT_TRUE(deleteFile(back));
    EXPECT_FALSE(pathExists(original));
}

}  // namespace
}  // namespace platform
