#include "platform/FileOps.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

#include "platform/FileStat.h"
#include "support/TempDir.h"

namespace platform {
namespace {

using quenrix::test::pathExists;
using quenrix::test::readFile;
using quenrix::test::TempDir;
namespace fs = std::filesystem;

struct stat lstatOf(const std::string& path) {
    struct stat st = {};
    lstat(path.c_str(), &st);
    return st;
}

// A temporary folder on another file system than TempDir's (tmpfs /dev/shm), or none.
class OtherFileSystemDir {
public:
    OtherFileSystemDir() {
        TempDir probe;
        struct stat local, shm;
        if (stat("/dev/shm", &shm) != 0 || stat(probe.path().c_str(), &local) != 0) return;
        if (shm.st_dev == local.st_dev) return;
        std::string base = "/dev/shm/quenrix-test-XXXXXX";
        if (!mkdtemp(base.data())) return;
        m_path = base;
    }
    ~OtherFileSystemDir() {
        if (m_path.empty()) return;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(m_path, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_symlink()) {
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
            }
        }
        fs::remove_all(m_path, ec);
    }
    bool ok() const { return !m_path.empty(); }
    std::string operator/(const std::string& rel) const { return m_path + "/" + rel; }

private:
    std::string m_path;
};

#define REQUIRE_OTHER_FILE_SYSTEM(dir)                                                  \
    if (!(dir).ok()) {                                                                  \
        GTEST_SKIP() << "/dev/shm is missing, not writable or on the same file system"; \
    }

TEST(FileOpsTest, MoveNeverReplacesAnExistingFile) {
    TempDir dir;
    std::string a = dir.createFile("a", "first");
    std::string b = dir.createFile("b", "second");
    errno = 0;
    EXPECT_FALSE(moveFile(a, b));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readFile(a), "first");
    EXPECT_EQ(readFile(b), "second");

    // Not even a dangling link at the target is replaced.
    ASSERT_EQ(symlink("nowhere", (dir / "l").c_str()), 0);
    EXPECT_FALSE(moveFile(a, dir / "l"));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readFile(a), "first");
}

TEST(FileOpsTest, MoveWithinAFileSystemRenames) {
    TempDir dir;
    std::string a = dir.createFile("a", "data", 1500000000);
    struct stat before = lstatOf(a);
    std::string moved = dir.createDir("sub") + "/moved";
    ASSERT_TRUE(moveFile(a, moved));
    EXPECT_FALSE(pathExists(a));
    EXPECT_EQ(lstatOf(moved).st_ino, before.st_ino);
    EXPECT_EQ(readFile(moved), "data");

    dir.createFile("folder/inside", "x");
    ASSERT_TRUE(moveFile(dir / "folder", dir / "folder2"));
    EXPECT_EQ(readFile(dir / "folder2/inside"), "x");

    EXPECT_FALSE(moveFile(dir / "missing", dir / "other"));
    EXPECT_EQ(errno, ENOENT);
}

TEST(FileOpsTest, CopyIsExclusiveAndKeepsModeAndTimes) {
    TempDir dir;
    std::string from = dir.createFile("from", "payload", 1400000000);
    ASSERT_EQ(chmod(from.c_str(), 0640), 0);
    std::string to = dir / "to";
    ASSERT_TRUE(copyFile(from, to));
    EXPECT_EQ(readFile(to), "payload");
    EXPECT_EQ(readFile(from), "payload");
    struct stat st = lstatOf(to);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1400000000);
    EXPECT_NE(st.st_ino, lstatOf(from).st_ino);

    // A read-only source gives a read-only copy.
    std::string ro = dir.createFile("ro", "r");
    ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
    ASSERT_TRUE(copyFile(ro, dir / "ro-copy"));
    EXPECT_EQ(lstatOf(dir / "ro-copy").st_mode & 07777, 0444u);

    std::string existing = dir.createFile("existing", "keep me");
    EXPECT_FALSE(copyFile(from, existing));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readFile(existing), "keep me");
}

TEST(FileOpsTest, CopyOnlyReadsRegularFiles) {
    TempDir dir;
    dir.createDir("folder");
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0644), 0);  // would block if opened normally
    ASSERT_EQ(symlink("folder", (dir / "link").c_str()), 0);
    struct {
        const char* name;
        int err;
    } cases[] = {{"folder", EISDIR}, {"fifo", EINVAL}, {"link", ELOOP}, {"missing", ENOENT}};
    for (const auto& c : cases) {
        std::string to = dir / (std::string(c.name) + "-copy");
        errno = 0;
        EXPECT_FALSE(copyFile(dir / c.name, to)) << c.name;
        EXPECT_EQ(errno, c.err) << c.name;
        EXPECT_FALSE(pathExists(to)) << c.name;
    }
}

TEST(FileOpsTest, DeleteRefusesReadOnlyAndNeverFollowsLinks) {
    TempDir dir;
    std::string ro = dir.createFile("ro", "x");
    ASSERT_EQ(chmod(ro.c_str(), 0444), 0);
    errno = 0;
    EXPECT_FALSE(deleteFile(ro));
    EXPECT_EQ(errno, EACCES);
    EXPECT_TRUE(pathExists(ro));

    std::string target = dir.createFile("target", "data");
    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    ASSERT_EQ(symlink("target", (dir / "link").c_str()), 0);
    EXPECT_TRUE(deleteFile(dir / "link"));  // the link goes, its read-only target stays
    EXPECT_FALSE(pathExists(dir / "link"));
    EXPECT_EQ(readFile(target), "data");

    dir.createDir("folder");
    EXPECT_FALSE(deleteFile(dir / "folder"));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_TRUE(pathExists(dir / "folder"));

    std::string plain = dir.createFile("plain", "x");
    EXPECT_TRUE(deleteFile(plain));
    EXPECT_FALSE(pathExists(plain));
    EXPECT_FALSE(deleteFile(plain));
    EXPECT_EQ(errno, ENOENT);
}

TEST(FileOpsTest, MoveAcrossFileSystemsCopiesThenRemovesTheSource) {
    OtherFileSystemDir other;
    REQUIRE_OTHER_FILE_SYSTEM(other);
    TempDir dir;
    std::string data(300000, 'q');
    std::string from = dir.createFile("big.bin", data, 1300000000);
    ASSERT_EQ(chmod(from.c_str(), 0604), 0);
    std::string to = other / "big.bin";
    ASSERT_TRUE(moveFile(from, to));
    EXPECT_FALSE(pathExists(from));
    EXPECT_EQ(readFile(to), data);
    struct stat st = lstatOf(to);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1300000000);

    // Back again onto an existing name: refused, both kept.
    std::string back = dir.createFile("big.bin", "new file here");
    EXPECT_FALSE(moveFile(to, back));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readFile(back), "new file here");
    EXPECT_EQ(readFile(to), data);

    // Folders and links do not cross.
    dir.createFile("folder/x", "x");
    EXPECT_FALSE(moveFile(dir / "folder", other / "folder"));
    EXPECT_EQ(errno, EXDEV);
    EXPECT_EQ(readFile(dir / "folder/x"), "x");
    ASSERT_EQ(symlink("folder", (dir / "link").c_str()), 0);
    EXPECT_FALSE(moveFile(dir / "link", other / "link"));
    EXPECT_EQ(errno, EXDEV);
    EXPECT_TRUE(pathExists(dir / "link"));
    EXPECT_FALSE(pathExists(other / "link"));
}

TEST(FileOpsTest, RenameMovesTheEntryItselfAndNeverCopies) {
    TempDir dir;
    std::string a = dir.createFile("a", "first");
    std::string b = dir.createFile("b", "second");
    EXPECT_FALSE(renameFile(a, b));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readFile(a), "first");
    EXPECT_EQ(readFile(b), "second");

    ASSERT_EQ(symlink("b", (dir / "link").c_str()), 0);
    ASSERT_TRUE(renameFile(dir / "link", dir / "moved-link"));
    EXPECT_TRUE(S_ISLNK(lstatOf(dir / "moved-link").st_mode));
    EXPECT_EQ(readFile(b), "second");

    OtherFileSystemDir other;
    if (!other.ok()) return;
    EXPECT_FALSE(renameFile(a, other / "a"));
    EXPECT_EQ(errno, EXDEV);
    EXPECT_EQ(readFile(a), "first");
    EXPECT_FALSE(pathExists(other / "a"));
}

// Limits the size of files this process may write, for the scope's lifetime.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);  // write then fails with EFBIG
        struct rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }

private:
    struct rlimit m_old;
    void (*m_oldHandler)(int);
};

TEST(FileOpsTest, MoveAcrossFileSystemsFailingMidCopyKeepsTheSource) {
    OtherFileSystemDir other;
    REQUIRE_OTHER_FILE_SYSTEM(other);
    TempDir dir;
    std::string data(64 * 1024, 'z');
    std::string from = dir.createFile("src/file.bin", data);

    {
        // The copy breaks off half-way.
        ScopedFileSizeLimit limit(4096);
        errno = 0;
        EXPECT_FALSE(moveFile(from, other / "file.bin"));
        EXPECT_EQ(errno, EFBIG);
    }
    EXPECT_EQ(readFile(from), data);
    EXPECT_FALSE(pathExists(other / "file.bin"));
}

TEST(FileOpsTest, MoveAcrossFileSystemsRefusedByPermissionsKeepsTheSource) {
    OtherFileSystemDir other;
    REQUIRE_OTHER_FILE_SYSTEM(other);
    if (geteuid() == 0) GTEST_SKIP() << "permission checks do not apply to root";
    TempDir dir;
    std::string data(64 * 1024, 'z');
    std::string from = dir.createFile("src/file.bin", data);

    // The target folder is not writable.
    std::string closed = other / "closed";
    ASSERT_EQ(mkdir(closed.c_str(), 0555), 0);
    EXPECT_FALSE(moveFile(from, closed + "/file.bin"));
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(readFile(from), data);
    EXPECT_FALSE(pathExists(closed + "/file.bin"));

    // The source cannot be removed once copied: the copy goes again.
    ASSERT_EQ(chmod((dir / "src").c_str(), 0555), 0);
    EXPECT_FALSE(moveFile(from, other / "file.bin"));
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(readFile(from), data);
    EXPECT_FALSE(pathExists(other / "file.bin"));
}

TEST(FileOpsTest, TempFileNamesAreNewFilesThatReplaceNothing) {
    TempDir dir;
    const std::regex pattern("___[0-9A-F]{4}\\.TMP");
    std::set<std::string> names;
    for (int i = 0; i < 8; ++i) {
        std::string path = createTempFileName(dir.path());
        ASSERT_FALSE(path.empty());
        ASSERT_EQ(path.rfind(dir.path() + "/", 0), 0u) << path;
        std::string name = path.substr(dir.path().size() + 1);
        EXPECT_TRUE(std::regex_match(name, pattern)) << name;
        EXPECT_TRUE(names.insert(name).second) << name;
        struct stat st = lstatOf(path);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_size, 0);
    }

    // Every name but one taken (by links, which O_EXCL never follows): that one is chosen
    // and nothing else is touched; then no name is left.
    TempDir full;
    std::string keep = full.createFile("keep", "keep");
    char name[16];
    for (unsigned i = 0; i < 0x10000; ++i) {
        if (i == 0xBEEF) continue;
        snprintf(name, sizeof name, "___%04X.TMP", i);
        ASSERT_EQ(symlink("keep", (full / name).c_str()), 0) << name;
    }
    EXPECT_EQ(createTempFileName(full.path() + "/"), full / "___BEEF.TMP");
    EXPECT_TRUE(createTempFileName(full.path()).empty());
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(readFile(keep), "keep");
    EXPECT_TRUE(S_ISLNK(lstatOf(full / "___0000.TMP").st_mode));

    EXPECT_TRUE(createTempFileName(dir / "missing").empty());
    EXPECT_EQ(errno, ENOENT);
}

TEST(FileOpsTest, StillSameFileNoticesRewritesAndReplacements) {
    TempDir dir;
    std::string path = dir.createFile("f", "12345", 1200000000);
    FileStat recorded;
    ASSERT_TRUE(statPath(path, recorded));
    EXPECT_TRUE(stillSameFile(path, recorded));

    dir.createFile("f", "123456", 1200000000);  // rewritten in place, other size
    EXPECT_FALSE(stillSameFile(path, recorded));

    dir.createFile("f", "12345", 1200000001);  // same size, other write time
    EXPECT_FALSE(stillSameFile(path, recorded));

    // Another file with the same size and time put in its place.
    dir.createFile("g", "abcde", 1200000000);
    ASSERT_EQ(rename((dir / "g").c_str(), path.c_str()), 0);
    EXPECT_FALSE(stillSameFile(path, recorded));

    EXPECT_FALSE(stillSameFile(dir / "missing", recorded));
}

TEST(FileOpsTest, FoldersAndSync) {
    TempDir dir;
    std::string folder = dir / "new";
    EXPECT_TRUE(createFolder(folder));
    EXPECT_FALSE(createFolder(folder));
    EXPECT_EQ(errno, EEXIST);
    dir.createFile("new/x");
    EXPECT_FALSE(removeFolder(folder));
    EXPECT_EQ(errno, ENOTEMPTY);
    ASSERT_EQ(unlink((folder + "/x").c_str()), 0);
    EXPECT_TRUE(removeFolder(folder));
    EXPECT_FALSE(pathExists(folder));

    EXPECT_TRUE(syncFile(dir.createFile("s", "data")));
    EXPECT_FALSE(syncFile(dir / "missing"));
}

}  // namespace
}  // namespace platform
