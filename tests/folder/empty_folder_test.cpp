// The empty-folder job: wildcard patterns, what the search counts as empty (ignored
// files in any case, hidden entries, links, protected folders, mount points, the pattern
// on the relative path), and what the removal does (deepest first, the files deleted
// before their folder, an unticked child or a file that arrived later keeping its
// folder), and the unattended run with its log lines.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/QXLog.h"
#include "folder/SearchEmptyFolderFlow.h"
#include "folder/SearchEmptyFolderJob.h"
#include "folder/SearchEmptyFolderRemoveThread.h"
#include "folder/SearchEmptyFolderThread.h"
#include "support/LogCapture.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace Quenrix {
namespace {

using quenrix::QXLog;
using quenrix::test::pathExists;
using quenrix::test::RecordingSink;
using quenrix::test::TempDir;

const std::vector<std::wstring> kDefaultIgnore{L"thumbs.db", L"desktop.ini", L"_catalog.vix",
                                               L"picasa.ini"};

using quenrix::test::LogCapture;

// Builds a fixture from a list of entries relative to the root: "a/b/" a folder,
// "a/x" a file, "a/l -> ../b" a symbolic link, "a/p |" a FIFO.
void build(const TempDir& dir, const std::vector<std::string>& entries) {
    for (const std::string& e : entries) {
        const size_t arrow = e.find(" -> ");
        if (arrow != std::string::npos) {
            const std::string at = dir / e.substr(0, arrow);
            dir.createDir(e.substr(0, e.substr(0, arrow).rfind('/') + 1));
            ASSERT_EQ(::symlink(e.substr(arrow + 4).c_str(), at.c_str()), 0) << e;
        } else if (e.size() > 2 && e.compare(e.size() - 2, 2, " |") == 0) {
            const std::string rel = e.substr(0, e.size() - 2);
            dir.createDir(rel.substr(0, rel.rfind('/') + 1));
            ASSERT_EQ(::mkfifo((dir / rel).c_str(), 0644), 0) << e;
        } else if (!e.empty() && e.back() == '/') {
            dir.createDir(e);
        } else {
            dir.createFile(e, "x");
        }
    }
}

SearchEmptyFolderJob jobFor(const std::string& target, std::vector<std::wstring> patterns = {},
                            std::vector<std::wstring> ignore = kDefaultIgnore) {
    SearchEmptyFolderJob job;
    job.targets = {target};
    job.patterns = std::move(patterns);
    job.ignoreFiles = std::move(ignore);
    job.protectedFolders = platform::ProtectedFolders::of({});
    return job;
}

bool search(SearchEmptyFolderJob& job) {
    RecordingSink sink;
    SearchEmptyFolderThread worker(job, sink);
    EXPECT_TRUE(worker.start());
    worker.wait();
    EXPECT_EQ(sink.finishedCount, 1);
    return !worker.error();
}

struct Removal {
    bool error;
    std::vector<std::wstring> lines;
};

Removal removeFound(SearchEmptyFolderJob& job) {
    RecordingSink sink;
    SearchEmptyFolderRemoveThread worker(job, sink);
    EXPECT_TRUE(worker.start());
    worker.wait();
    EXPECT_EQ(sink.finishedCount, 1);
    Removal r{worker.error(), sink.lines};
    for (auto& line : worker.takePendingLines()) r.lines.push_back(line);
    return r;
}

// The found folders as paths relative to the root ("" for the root itself).
std::set<std::string> relativeFound(const SearchEmptyFolderJob& job, const TempDir& dir) {
    std::set<std::string> out;
    for (const auto& entry : job.found) {
        out.insert(entry.path == dir.path() ? std::string() : entry.path.substr(dir.path().size()));
    }
    return out;
}

std::wstring w(const std::string& native) {
    return tovy::fromUtf8(native);
}

TEST(EmptyFolderPattern, WildcardBecomesAnchoredExpression) {
    static const struct {
        const wchar_t* pattern;
        const wchar_t* expression;
    } cases[] = {
        {L"*cache*", L"^.*cache.*$"},
        {L"thumbs.db", L"^thumbs[.]db$"},
        {L"a?c", L"^a.c$"},
        {L"(x|y)+", L"^(x|y)+$"},  // other expression characters keep their meaning
        {L"", L"^$"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(wildcardToExpression(c.pattern), c.expression) << c.pattern;
    }
}

TEST(EmptyFolderPattern, MatchesWholeTextWithoutRegardToCase) {
    static const struct {
        const wchar_t* pattern;
        const wchar_t* text;
        bool matches;
    } cases[] = {
        {L"thumbs.db", L"Thumbs.db", true},
        {L"thumbs.db", L"THUMBS.DB", true},
        {L"thumbs.db", L"thumbsXdb", false},  // "." is a dot, not any character
        {L"thumbs.db", L"old thumbs.db", false},
        {L"thumbs.db", L"thumbs.db\nevil", false},
        {L"*cache*", L"/app/cache", true},
        {L"*cache*", L"/app/Cache/x", true},
        {L"*cache*", L"", false},
        {L"*.ini", L"Ä.INI", true},
        {L"ä*", L"Äpfel", true},
    };
    for (const auto& c : cases) {
        SearchEmptyFolderPatterns p;
        ASSERT_TRUE(p.compile({c.pattern})) << c.pattern;
        EXPECT_EQ(p.matchesAny(c.text), c.matches) << c.pattern << " / " << c.text;
    }
}

TEST(EmptyFolderPattern, InvalidPatternIsNamed) {
    std::wstring bad;
    std::wstring why;
    EXPECT_FALSE(checkPatterns({L"*cache*", L"(unbalanced", L"ok"}, &bad, &why));
    EXPECT_EQ(bad, L"(unbalanced");
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(checkPatterns({L"*cache*", L"thumbs.db"}, &bad));
}

struct SearchCase {
    const char* name;
    std::vector<std::string> entries;
    std::vector<std::wstring> patterns;
    std::vector<std::wstring> ignore;
    std::set<std::string> found;  // relative to the target, "" the target itself
};

TEST(EmptyFolderSearch, WhatCountsAsEmpty) {
    const std::vector<SearchCase> cases = {
        {"nothing at all", {}, {}, kDefaultIgnore, {""}},
        {"ignored files in any case",
         {"a/Thumbs.db", "b/THUMBS.DB", "c/desktop.INI"},
         {},
         kDefaultIgnore,
         {"/a", "/b", "/c", ""}},
        {"nested empty folders", {"a/b/c/"}, {}, kDefaultIgnore, {"/a/b/c", "/a/b", "/a", ""}},
        {"a full subfolder keeps its parent",
         {"p/full/x.txt", "p/empty/"},
         {},
         kDefaultIgnore,
         {"/p/empty"}},
        {"a file that is not ignored", {"a/thumbs.db", "a/photo.jpg"}, {}, kDefaultIgnore, {}},
        {"files and an empty ignore list", {"a/thumbs.db", "b/"}, {}, {}, {"/b"}},
        {"the pattern takes the relative path",
         {"app/cache/", "app/other/", "cache/"},
         {L"*cache*"},
         kDefaultIgnore,
         {"/app/cache", "/cache"}},
        {"hidden entries are seen",
         {".git/HEAD", ".empty/", "h/.keep"},
         {},
         kDefaultIgnore,
         {"/.empty"}},
        {"a link keeps its folder and is never entered",
         {"real/", "holder/lnk -> ../real", "far/", "via/lnk -> ../far/"},
         {},
         kDefaultIgnore,
         {"/real", "/far"}},
        {"a link named like an ignored file",
         {"a/thumbs.db -> /etc/hostname"},
         {},
         kDefaultIgnore,
         {}},
        {"a FIFO", {"a/pipe |"}, {}, kDefaultIgnore, {}},
    };
    for (const SearchCase& c : cases) {
        TempDir dir;
        build(dir, c.entries);
        auto job = jobFor(dir.path(), c.patterns, c.ignore);
        EXPECT_TRUE(search(job)) << c.name;
        EXPECT_EQ(relativeFound(job, dir), c.found) << c.name;
    }
}

TEST(EmptyFolderSearch, FolderComesAfterItsEmptySubfolders) {
    TempDir dir;
    build(dir, {"a/b/c/", "a/d/", "e/"});
    auto job = jobFor(dir.path());
    ASSERT_TRUE(search(job));
    ASSERT_EQ(job.found.size(), 6u);
    auto index = [&](const std::string& path) {
        for (size_t i = 0; i < job.found.size(); ++i)
            if (job.found[i].path == path) return i;
        ADD_FAILURE() << "not found: " << path;
        return size_t(0);
    };
    EXPECT_LT(index(dir / "a/b/c"), index(dir / "a/b"));
    EXPECT_LT(index(dir / "a/b"), index(dir / "a"));
    EXPECT_LT(index(dir / "a/d"), index(dir / "a"));
    EXPECT_EQ(index(dir.path()), 5u);
    for (const auto& entry : job.found) EXPECT_TRUE(entry.selected);
}

TEST(EmptyFolderSearch, ProtectedFolderIsNeitherEnteredNorFound) {
    TempDir dir;
    build(dir, {"keep/", "other/"});
    auto job = jobFor(dir.path());
    job.protectedFolders = platform::ProtectedFolders::of({dir / "keep"});
    ASSERT_TRUE(search(job));
    EXPECT_EQ(relativeFound(job, dir), (std::set<std::string>{"/other"}));
}

TEST(EmptyFolderSearch, TargetReachedThroughLinkIsSearchedButNotFound) {
    TempDir dir;
    build(dir, {"real/sub/", "link -> real"});
    auto job = jobFor(dir / "link");
    ASSERT_TRUE(search(job));
    ASSERT_EQ(job.found.size(), 1u);
    EXPECT_EQ(job.found[0].path, dir / "link/sub");
}

TEST(EmptyFolderSearch, OverlappingTargetsFindEachFolderOnce) {
    TempDir dir;
    build(dir, {"a/b/"});
    auto job = jobFor(dir.path());
    job.targets = {dir / "a", dir.path(), dir / "a"};
    ASSERT_TRUE(search(job));
    EXPECT_EQ(job.found.size(), 3u);
}

TEST(EmptyFolderSearch, InvalidPatternEndsTheSearchWithAnError) {
    TempDir dir;
    build(dir, {"a/"});
    LogCapture log;
    auto job = jobFor(dir.path(), {L"*(cache"});
    EXPECT_FALSE(search(job));
    EXPECT_TRUE(job.found.empty());
    EXPECT_TRUE(log.hasPart(L"Invalid pattern. [*(cache]"));
}

TEST(EmptyFolderSearch, StopEndsTheSearch) {
    TempDir dir;
    build(dir, {"a/"});
    auto job = jobFor(dir.path());
    RecordingSink sink;
    SearchEmptyFolderThread worker(job, sink);
    worker.stop();
    ASSERT_TRUE(worker.start());
    worker.wait();
    EXPECT_FALSE(worker.error());
    EXPECT_EQ(sink.finishedCount, 1);
    EXPECT_TRUE(job.found.empty());  // nothing examined to its end
}

TEST(EmptyFolderRemove, IgnoredFileGoesFirstThenTheFolder) {
    TempDir dir;
    build(dir, {"t/a/ThUmBs.Db", "t/keep.txt"});
    auto job = jobFor(dir / "t");
    ASSERT_TRUE(search(job));
    ASSERT_EQ(job.found.size(), 1u);
    const Removal r = removeFound(job);
    EXPECT_FALSE(r.error);
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{w(dir / "t/a/ThUmBs.Db") + L"... Removed",
                                                  w(dir / "t/a") + L"... Removed"}));
    EXPECT_FALSE(pathExists(dir / "t/a"));
    EXPECT_EQ(job.found[0].result, SearchEmptyFolderEntry::kRemoved);
}

TEST(EmptyFolderRemove, DeepestFirst) {
    TempDir dir;
    build(dir, {"t/a/b/c/", "t/a/B2/", "t/x.txt"});
    auto job = jobFor(dir / "t");
    ASSERT_TRUE(search(job));
    ASSERT_EQ(job.found.size(), 4u);
    const Removal r = removeFound(job);
    EXPECT_FALSE(r.error);
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{
                           w(dir / "t/a/B2") + L"... Removed", w(dir / "t/a/b/c") + L"... Removed",
                           w(dir / "t/a/b") + L"... Removed", w(dir / "t/a") + L"... Removed"}));
    EXPECT_FALSE(pathExists(dir / "t/a"));
    EXPECT_TRUE(pathExists(dir / "t/x.txt"));
}

TEST(EmptyFolderRemove, UntickedChildMakesItsParentFail) {
    TempDir dir;
    build(dir, {"t/a/b/", "t/x.txt"});
    auto job = jobFor(dir / "t");
    ASSERT_TRUE(search(job));
    ASSERT_EQ(job.found.size(), 2u);
    for (auto& entry : job.found) entry.selected = entry.path != dir / "t/a/b";
    const Removal r = removeFound(job);
    EXPECT_TRUE(r.error);
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{
                           w(dir / "t/a/b") + L"... Error (ディレクトリが残っています)",
                           w(dir / "t/a") + L"... Error (削除出来ませんでした)"}));
    EXPECT_TRUE(pathExists(dir / "t/a/b"));
    for (const auto& entry : job.found) {
        EXPECT_EQ(entry.result, entry.selected ? SearchEmptyFolderEntry::kFailed
                                               : SearchEmptyFolderEntry::kNotTried);
    }
}

// Whatever reached a found folder after the search keeps it, and nothing in it is
// deleted, the ignored file included.
TEST(EmptyFolderRemove, ChangesAfterTheSearchKeepTheFolder) {
    static const struct {
        const char* name;
        std::vector<std::string> later;  // made in t/a after the search
        const char* lineFor;             // the entry named by the error line
        const char* line;
    } cases[] = {
        {"a new file", {"t/a/download.part"}, "t/a/download.part", "ファイルが残っています"},
        {"a new folder", {"t/a/new/"}, "t/a/new", "ディレクトリが残っています"},
        {"a link", {"t/a/lnk -> /etc/hostname"}, "t/a/lnk", "ファイルが残っています"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        build(dir, {"t/a/thumbs.db", "t/keep.txt"});
        auto job = jobFor(dir / "t");
        ASSERT_TRUE(search(job)) << c.name;
        ASSERT_EQ(job.found.size(), 1u) << c.name;
        build(dir, c.later);
        const Removal r = removeFound(job);
        EXPECT_TRUE(r.error) << c.name;
        EXPECT_EQ(r.lines,
                  (std::vector<std::wstring>{w(dir / c.lineFor) + L"... Error (" + w(c.line) + L")",
                                             w(dir / "t/a") + L"... Error (削除出来ませんでした)"}))
            << c.name;
        EXPECT_TRUE(pathExists(dir / "t/a/thumbs.db")) << c.name;
    }
}

TEST(EmptyFolderRemove, IgnoredFileReplacedByALinkIsNotFollowed) {
    TempDir dir;
    TempDir outside;
    const std::string precious = outside.createFile("precious", "data");
    build(dir, {"t/a/thumbs.db", "t/keep.txt"});
    auto job = jobFor(dir / "t");
    ASSERT_TRUE(search(job));
    ASSERT_EQ(::unlink((dir / "t/a/thumbs.db").c_str()), 0);
    ASSERT_EQ(::symlink(precious.c_str(), (dir / "t/a/thumbs.db").c_str()), 0);
    const Removal r = removeFound(job);
    EXPECT_TRUE(r.error);
    EXPECT_EQ(quenrix::test::readFile(precious), "data");
    EXPECT_TRUE(pathExists(dir / "t/a"));
}

TEST(EmptyFolderRemove, FolderReplacedAfterTheSearchIsLeftAlone) {
    TempDir dir;
    build(dir, {"t/a/", "t/keep.txt", "t/elsewhere/"});
    auto job = jobFor(dir / "t");
    ASSERT_TRUE(search(job));
    ASSERT_EQ(job.found.size(), 2u);
    for (auto& entry : job.found) entry.selected = entry.path == dir / "t/a";
    // The found folder is swapped for another empty folder of the same name.
    ASSERT_EQ(::rmdir((dir / "t/a").c_str()), 0);
    ASSERT_EQ(::rename((dir / "t/elsewhere").c_str(), (dir / "t/a").c_str()), 0);
    const Removal r = removeFound(job);
    EXPECT_TRUE(r.error);
    EXPECT_TRUE(pathExists(dir / "t/a"));
}

TEST(EmptyFolderRemove, ReadOnlyIgnoredFileFailsItsFolder) {
    TempDir dir;
    build(dir, {"t/a/thumbs.db", "t/keep.txt"});
    ASSERT_EQ(::chmod((dir / "t/a/thumbs.db").c_str(), 0444), 0);
    auto job = jobFor(dir / "t");
    ASSERT_TRUE(search(job));
    const Removal r = removeFound(job);
    EXPECT_TRUE(r.error);
    EXPECT_EQ(r.lines, (std::vector<std::wstring>{
                           w(dir / "t/a/thumbs.db") + L"... Error (削除できませんでした)",
                           w(dir / "t/a") + L"... Error (削除出来ませんでした)"}));
    EXPECT_TRUE(pathExists(dir / "t/a/thumbs.db"));
}

TEST(EmptyFolderRemove, StopLeavesTheRestAndKeepsTheLines) {
    TempDir dir;
    build(dir, {"t/a/", "t/b/", "t/keep.txt"});
    auto job = jobFor(dir / "t");
    ASSERT_TRUE(search(job));
    RecordingSink sink;
    SearchEmptyFolderRemoveThread worker(job, sink);
    worker.stop();
    ASSERT_TRUE(worker.start());
    worker.wait();
    // The first folder (in descending order) is done; its line waits to be taken.
    EXPECT_TRUE(sink.lines.empty());
    EXPECT_EQ(worker.takePendingLines(),
              std::vector<std::wstring>{w(dir / "t/b") + L"... Removed"});
    EXPECT_TRUE(pathExists(dir / "t/a"));
    EXPECT_FALSE(pathExists(dir / "t/b"));
}

// A mount point below a target is neither entered nor removed (needs the right to mount).
TEST(EmptyFolderMount, MountPointIsNeitherEnteredNorRemoved) {
    TempDir dir;
    build(dir, {"t/m/", "t/e/"});
    if (::mount("none", (dir / "t/m").c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount here";
    }
    struct Unmount {
        std::string at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{dir / "t/m"};

    auto job = jobFor(dir / "t");
    ASSERT_TRUE(search(job));
    EXPECT_EQ(relativeFound(job, dir), (std::set<std::string>{"/t/e"}));

    // Even when asked to, the removal leaves the mount's root alone.
    struct stat st;
    ASSERT_EQ(::stat((dir / "t/m").c_str(), &st), 0);
    SearchEmptyFolderEntry entry;
    entry.path = dir / "t/m";
    entry.dev = st.st_dev;
    entry.ino = st.st_ino;
    job.found = {entry};
    const Removal r = removeFound(job);
    EXPECT_TRUE(r.error);
    EXPECT_TRUE(pathExists(dir / "t/m"));
}

TEST(EmptyFolderUnattended, SearchesRemovesAndLogs) {
    TempDir dir;
    build(dir, {"t/a/Thumbs.db", "t/b/c/", "t/keep.txt"});
    LogCapture log;
    auto job = jobFor(dir / "t");
    EXPECT_TRUE(runSearchEmptyFolderUnattended(job));
    EXPECT_FALSE(pathExists(dir / "t/a"));
    EXPECT_FALSE(pathExists(dir / "t/b"));
    EXPECT_TRUE(pathExists(dir / "t/keep.txt"));
    EXPECT_TRUE(log.has(w(dir / "t/a/Thumbs.db") + L"... Removed"));
    EXPECT_TRUE(log.has(w(dir / "t/b/c") + L"... Removed"));
    EXPECT_TRUE(log.has(L"空フォルダを全て削除しました。"));
}

TEST(EmptyFolderUnattended, NothingFoundAndErrors) {
    TempDir dir;
    build(dir, {"t/keep.txt"});
    {
        LogCapture log;
        auto job = jobFor(dir / "t");
        EXPECT_TRUE(runSearchEmptyFolderUnattended(job));
        EXPECT_TRUE(log.has(L"空フォルダが見つかりませんでした。"));
    }
    {
        LogCapture log;
        auto job = jobFor(dir / "t", {}, {L"[bad"});
        EXPECT_FALSE(runSearchEmptyFolderUnattended(job));
        EXPECT_TRUE(log.hasPart(L"Invalid pattern. [[bad]"));
    }
    {
        build(dir, {"t/a/", "t/a/b/"});
        LogCapture log;
        auto job = jobFor(dir / "t");
        job.protectedFolders = platform::ProtectedFolders::of({dir / "t/a/b"});
        EXPECT_TRUE(runSearchEmptyFolderUnattended(job));
        EXPECT_TRUE(log.has(L"空フォルダが見つかりませんでした。"));
    }
}

}  // namespace
}  // namespace Quenrix
