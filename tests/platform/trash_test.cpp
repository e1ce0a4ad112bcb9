#include "platform/Trash.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace platform {
namespace {

using quenrix::test::pathExists;
using quenrix::test::readFile;
using quenrix::test::TempDir;
namespace fs = std::filesystem;

// Sets an environment variable for the scope's lifetime.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = getenv(name)) m_old = old;
        setenv(name, value.c_str(), 1);
        tzset();
    }
    ~ScopedEnv() {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
        tzset();
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

bool haveTrashList() {
    return std::system("command -v trash-list >/dev/null 2>&1") == 0;
}

// The original paths trash-list reports, each line being "YYYY-MM-DD hh:mm:ss PATH".
std::vector<std::string> trashListPaths() {
    std::vector<std::string> paths;
    FILE* pipe = popen("trash-list 2>/dev/null", "r");
    if (!pipe) return paths;
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    pclose(pipe);
    static const std::regex line("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d (.*)");
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        std::smatch m;
        std::string text = output.substr(start, end - start);
        if (std::regex_match(text, m, line)) paths.push_back(m[1]);
        start = end + 1;
    }
    return paths;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

std::string nameOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// The info file that belongs to an entry in files/.
std::string infoFileOf(const std::string& trashed) {
    std::string trash = trashed.substr(0, trashed.rfind("/files/"));
    return trash + "/info/" + nameOf(trashed) + ".trashinfo";
}

// The Path and DeletionDate values of an info file, which must have exactly the layout
// we write.
bool readInfo(const std::string& infoFile, std::string* path, std::string* date) {
    static const std::regex layout(
        "\\[Trash "
        "Info\\]\nPath=([^\n]*)\nDeletionDate=(\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d)\n");
    std::string text = readFile(infoFile);
    std::smatch m;
    if (!std::regex_match(text, m, layout)) return false;
    *path = m[1];
    *date = m[2];
    return true;
}

std::vector<std::string> entriesOf(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A temporary folder on another file system than `home` (tmpfs /dev/shm), or none. Removes what it
// made, and the trash entries handed to forget().
class OtherFileSystemDir {
public:
    explicit OtherFileSystemDir(const std::string& home) {
        struct stat homeSt, shm;
        if (stat("/dev/shm", &shm) != 0 || stat(home.c_str(), &homeSt) != 0) return;
        if (shm.st_dev == homeSt.st_dev) return;
        std::string base = "/dev/shm/quenrix-test-XXXXXX";
        if (!mkdtemp(base.data())) return;
        m_path = base;
    }
    ~OtherFileSystemDir() {
        std::error_code ec;
        for (const std::string& trashed : m_trashed) {
            std::string trash = trashed.substr(0, trashed.rfind("/files/"));
            fs::remove_all(trashed, ec);
            fs::remove(infoFileOf(trashed), ec);
            // Only empty folders go, so what others trashed there stays.
            rmdir((trash + "/files").c_str());
            rmdir((trash + "/info").c_str());
            rmdir(trash.c_str());
        }
        if (!m_path.empty()) fs::remove_all(m_path, ec);
    }
    bool ok() const { return !m_path.empty(); }
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& rel) const { return m_path + "/" + rel; }
    void forget(const std::string& trashed) { m_trashed.push_back(trashed); }

private:
    std::string m_path;
    std::vector<std::string> m_trashed;
};

// Sets or clears the immutable flag of a file (root only); false when it cannot.
bool setImmutable(const std::string& path, bool on) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return ok;
}

std::string localDateNow() {
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

TEST(TrashTest, HomeTrashHoldsTheFileAndWhereItCameFrom) {
    TempDir dir;
    ScopedEnv data("XDG_DATA_HOME", dir / "data/share");  // made when first needed
    ScopedEnv zone("TZ", "JST-9");                        // the date is local time, not UTC
    const std::string trash = dir / "data/share/Trash";
    EXPECT_EQ(homeTrashFolder(), trash);

    struct {
        std::string path;
        std::string data;
        std::string trashed = {};
    } files[] = {
        {dir.createFile("docs/report 1.txt", "first report"), "first report"},
        {dir.createFile("other/report 1.txt", "second"), "second"},  // same name, other folder
        {dir.createFile("docs/日本 100%#?.txt", "japanese"), "japanese"},
        {dir.createFile("docs/README", "readme"), "readme"},
    };
    for (auto& f : files) {
        std::string before = localDateNow();
        std::string error;
        ASSERT_TRUE(moveToTrash(f.path, &error, &f.trashed)) << f.path << ": " << error;
        std::string after = localDateNow();
        EXPECT_FALSE(pathExists(f.path)) << f.path;
        EXPECT_EQ(f.trashed.rfind(trash + "/files/", 0), 0u) << f.trashed;
        EXPECT_EQ(readFile(f.trashed), f.data) << f.path;

        std::string path, date;
        ASSERT_TRUE(readInfo(infoFileOf(f.trashed), &path, &date))
            << readFile(infoFileOf(f.trashed));
        EXPECT_EQ(path, encodeTrashPath(f.path));
        EXPECT_TRUE(date == before || date == after) << date << " not " << before;
    }
    EXPECT_NE(files[0].trashed, files[1].trashed);
    EXPECT_EQ(entriesOf(trash + "/files").size(), 4u);
    EXPECT_EQ(entriesOf(trash + "/info").size(), 4u);
    struct stat st;
    ASSERT_EQ(stat(trash.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    if (!haveTrashList()) GTEST_SKIP() << "trash-list (package trash-cli) is not installed";
    std::vector<std::string> listed = trashListPaths();
    for (const auto& f : files) EXPECT_TRUE(contains(listed, f.path)) << f.path;
}

TEST(TrashTest, ASymbolicLinkIsTrashedAsTheLink) {
    TempDir dir;
    ScopedEnv data("XDG_DATA_HOME", dir / "share");
    std::string target = dir.createFile("target.txt", "data");
    std::string folder = dir.createFile("folder/inside", "inside");
    struct {
        const char* name;
        const char* pointsTo;
    } links[] = {{"file-link", "target.txt"}, {"folder-link", "folder"}, {"dangling", "nowhere"}};
    for (const auto& l : links) {
        std::string link = dir / l.name;
        ASSERT_EQ(symlink(l.pointsTo, link.c_str()), 0);
        std::string trashed, error;
        ASSERT_TRUE(moveToTrash(link, &error, &trashed)) << l.name << ": " << error;
        struct stat st;
        ASSERT_EQ(lstat(trashed.c_str(), &st), 0) << l.name;
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << l.name;
        EXPECT_EQ(fs::read_symlink(trashed).string(), l.pointsTo) << l.name;
        EXPECT_FALSE(pathExists(link)) << l.name;
    }
    EXPECT_EQ(readFile(target), "data");
    EXPECT_EQ(readFile(dir / "folder/inside"), "inside");
}

TEST(TrashTest, LeftoversInTheTrashAreNeverReplaced) {
    TempDir dir;
    ScopedEnv data("XDG_DATA_HOME", dir / "share");
    const std::string trash = dir / "share/Trash";
    dir.createFile("share/Trash/files/a.txt", "old a, no info");
    dir.createFile("share/Trash/info/b.txt.trashinfo", "old b info, no file");

    std::string trashedA, trashedB, error;
    ASSERT_TRUE(moveToTrash(dir.createFile("a.txt", "new a"), &error, &trashedA)) << error;
    ASSERT_TRUE(moveToTrash(dir.createFile("b.txt", "new b"), &error, &trashedB)) << error;
    EXPECT_EQ(trashedA, trash + "/files/a(1).txt");
    EXPECT_EQ(trashedB, trash + "/files/b(1).txt");
    EXPECT_EQ(readFile(trash + "/files/a.txt"), "old a, no info");
    EXPECT_EQ(readFile(trash + "/info/b.txt.trashinfo"), "old b info, no file");
    EXPECT_EQ(readFile(trashedA), "new a");
    EXPECT_EQ(readFile(trashedB), "new b");
    // The info file made for the taken name "a.txt" was taken back.
    EXPECT_EQ(
        entriesOf(trash + "/info"),
        (std::vector<std::string>{"a(1).txt.trashinfo", "b(1).txt.trashinfo", "b.txt.trashinfo"}));
}

TEST(TrashTest, AFailureLeavesTheFileWhereItIs) {
    TempDir dir;
    std::string file = dir.createFile("docs/keep.txt", "keep");
    std::string error;

    {
        // No home trash can be made (its folder would lie below a file), and the file is
        // on the home trash's file system: it fails, nothing is deleted.
        std::string blocker = dir.createFile("blocker", "a file");
        ScopedEnv data("XDG_DATA_HOME", blocker + "/share");
        errno = 0;
        EXPECT_FALSE(moveToTrash(file, &error));
        EXPECT_EQ(errno, ENOTDIR);
        EXPECT_NE(error.find(blocker), std::string::npos) << error;
        EXPECT_EQ(readFile(file), "keep");
    }

    ScopedEnv data("XDG_DATA_HOME", dir / "share");
    error.clear();
    EXPECT_FALSE(moveToTrash(dir / "docs/missing.txt", &error));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_NE(error.find("missing.txt"), std::string::npos) << error;
    EXPECT_FALSE(moveToTrash("", &error));
    EXPECT_FALSE(moveToTrash("/", &error));

    // The entry cannot be renamed: its info file is taken back.
    const std::string docs = dir / "docs";
    bool blocked = false;
    if (geteuid() == 0) {
        blocked = setImmutable(docs, true);
    } else {
        blocked = chmod(docs.c_str(), 0555) == 0;
    }
    if (!blocked) GTEST_SKIP() << "cannot keep a folder from changing here";
    errno = 0;
    bool trashed = moveToTrash(file, &error);
    int err = errno;
    if (geteuid() == 0) {
        setImmutable(docs, false);
    } else {
        chmod(docs.c_str(), 0755);
    }
    EXPECT_FALSE(trashed);
    EXPECT_TRUE(err == EPERM || err == EACCES) << err;
    EXPECT_EQ(readFile(file), "keep");
    EXPECT_EQ(entriesOf(dir / "share/Trash/info"), std::vector<std::string>());
    EXPECT_EQ(entriesOf(dir / "share/Trash/files"), std::vector<std::string>());
}

TEST(TrashTest, AFileOnAnotherFileSystemGoesToItsTopFolderTrash) {
    TempDir home;
    ScopedEnv data("XDG_DATA_HOME", home / "share");
    OtherFileSystemDir other(home.path());
    if (!other.ok())
        GTEST_SKIP() << "/dev/shm is missing, not writable or on the home's file system";
    EXPECT_EQ(mountTopOf(other.path()), "/dev/shm");

    std::string file = other / "shm file 1.txt";
    ASSERT_TRUE(fs::create_directories(other / "sub"));
    std::string nested = other / "sub/nested.txt";
    for (const std::string& path : {file, nested}) {
        FILE* f = fopen(path.c_str(), "w");
        ASSERT_TRUE(f);
        fputs("on tmpfs", f);
        fclose(f);
    }

    std::vector<std::string> originals = {file, nested};
    for (const std::string& path : originals) {
        std::string trashed, error;
        ASSERT_TRUE(moveToTrash(path, &error, &trashed)) << path << ": " << error;
        other.forget(trashed);
        EXPECT_FALSE(pathExists(path));
        EXPECT_EQ(readFile(trashed), "on tmpfs");
        // .Trash/UID when the volume has a shared sticky .Trash, else .Trash-UID.
        std::string uid = std::to_string(getuid());
        EXPECT_TRUE(trashed.rfind("/dev/shm/.Trash-" + uid + "/files/", 0) == 0 ||
                    trashed.rfind("/dev/shm/.Trash/" + uid + "/files/", 0) == 0)
            << trashed;
        std::string infoPath, date;
        ASSERT_TRUE(readInfo(infoFileOf(trashed), &infoPath, &date));
        // Relative to the top folder.
        EXPECT_EQ(infoPath, encodeTrashPath(path.substr(strlen("/dev/shm/"))));
    }
    EXPECT_TRUE(entriesOf(home / "share/Trash/files").empty());

    if (!haveTrashList()) GTEST_SKIP() << "trash-list (package trash-cli) is not installed";
    std::vector<std::string> listed = trashListPaths();
    for (const std::string& path : originals) EXPECT_TRUE(contains(listed, path)) << path;
}

TEST(TrashTest, TopFolderTrashIsOnlyAFolderOfThisUser) {
    const std::string uid = std::to_string(getuid());
    const bool root = geteuid() == 0;
    const uid_t stranger = 4242;
    struct Case {
        const char* name;
        std::function<void(const TempDir&)> setUp;
        const char* expected;  // below the top folder; nullptr: no usable trash
        bool needsRoot;
    };
    const Case cases[] = {
        {"nothing there", [](const TempDir&) {}, ".Trash-UID", false},
        {"shared sticky .Trash",
         [](const TempDir& d) {
             d.createDir(".Trash");
             chmod((d / ".Trash").c_str(), 01777);
         },
         ".Trash/UID", false},
        {".Trash without the sticky bit",
         [](const TempDir& d) {
             d.createDir(".Trash");
             chmod((d / ".Trash").c_str(), 0777);
         },
         ".Trash-UID", false},
        {".Trash a link to a sticky folder",
         [](const TempDir& d) {
             d.createDir("real");
             chmod((d / "real").c_str(), 01777);
             symlink("real", (d / ".Trash").c_str());
         },
         ".Trash-UID", false},
        {"sticky .Trash whose UID folder belongs to another user",
         [&](const TempDir& d) {
             d.createDir(".Trash/" + uid);
             chmod((d / ".Trash").c_str(), 01777);
             chown((d / ".Trash/" + uid).c_str(), stranger, stranger);
         },
         ".Trash-UID", true},
        {"sticky .Trash whose UID entry is a link",
         [&](const TempDir& d) {
             d.createDir("mine");
             d.createDir(".Trash");
             chmod((d / ".Trash").c_str(), 01777);
             symlink("../mine", (d / ".Trash/" + uid).c_str());
         },
         ".Trash-UID", false},
        {".Trash-UID a link",
         [&](const TempDir& d) {
             d.createDir("mine");
             symlink("mine", (d / ".Trash-" + uid).c_str());
         },
         nullptr, false},
        {".Trash-UID a file", [&](const TempDir& d) { d.createFile(".Trash-" + uid, "x"); },
         nullptr, false},
        {".Trash-UID of another user",
         [&](const TempDir& d) {
             d.createDir(".Trash-" + uid);
             chown((d / (".Trash-" + uid)).c_str(), stranger, stranger);
         },
         nullptr, true},
        {".Trash-UID whose info is a link",
         [&](const TempDir& d) {
             d.createDir("mine");
             d.createDir(".Trash-" + uid + "/files");
             symlink("../mine", (d / (".Trash-" + uid + "/info")).c_str());
         },
         nullptr, false},
    };
    for (const Case& c : cases) {
        if (c.needsRoot && !root) continue;
        TempDir top;
        c.setUp(top);
        std::string error;
        std::string trash = topFolderTrash(top.path(), &error);
        if (!c.expected) {
            EXPECT_EQ(trash, "") << c.name;
            EXPECT_FALSE(error.empty()) << c.name;
            if (pathExists(top / "mine")) {
                EXPECT_TRUE(entriesOf(top / "mine").empty()) << c.name;
            }
            continue;
        }
        std::string expected = top / std::regex_replace(c.expected, std::regex("UID"), uid);
        EXPECT_EQ(trash, expected) << c.name << ": " << error;
        for (const char* sub : {"", "/files", "/info"}) {
            struct stat st;
            ASSERT_EQ(lstat((expected + sub).c_str(), &st), 0) << c.name << sub;
            EXPECT_TRUE(S_ISDIR(st.st_mode)) << c.name << sub;
            EXPECT_EQ(st.st_uid, getuid()) << c.name << sub;
        }
        for (const char* other : {"real", "mine"}) {
            if (pathExists(top / other)) {
                EXPECT_TRUE(entriesOf(top / other).empty()) << c.name << ": " << other;
            }
        }
    }
}

TEST(TrashTest, PathValuesAreUrlEncodedBytes) {
    static const struct {
        const char* path;
        const char* encoded;
    } cases[] = {
        {"/home/u/a-b_c.d~/Z9", "/home/u/a-b_c.d~/Z9"},
        {"/a b/100%/#?&=+", "/a%20b/100%25/%23%3F%26%3D%2B"},
        {"/日本", "/%E6%97%A5%E6%9C%AC"},
        {"rel/\xff\n\x01", "rel/%FF%0A%01"},
    };
    for (const auto& c : cases) EXPECT_EQ(encodeTrashPath(c.path), c.encoded) << c.path;
}

}  // namespace
}  // namespace platform
