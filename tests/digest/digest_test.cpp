#include "digest/QXDigest.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/QXFileExtras.h"
#include "core/QXFileInfo.h"
#include "core/QXLog.h"
#include "digest/QXCacheServer.h"
#include "platform/Times.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

using test::TempDir;

std::wstring messageOf(const std::wstring& line) {
    const size_t start = line.find(L"> ");
    return start == std::wstring::npos ? line : line.substr(start + 2);
}

std::vector<std::wstring> takeMessages() {
    std::vector<std::wstring> out;
    for (const std::wstring& line : QXLog::takeQueued()) out.push_back(messageOf(line));
    return out;
}

// Rewrites the file in place (same inode) and puts back the given last-write time.
void rewriteKeepingInode(const std::string& path, const std::string& data, const timespec& mtime) {
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(f);
        f.write(data.data(), std::streamsize(data.size()));
    }
    timespec times[2] = {{0, UTIME_OMIT}, mtime};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

timespec mtimeOf(const QXFileInfo& info) {
    return {time_t(info.stat().writeNs / 1000000000), long(info.stat().writeNs % 1000000000)};
}

const std::string kMillionA(1000000, 'a');

struct Vector {
    QXDigestKind kind;
    const std::string* data;
    const char* input;
    const char* text;
};

TEST(Digest, PublishedTestVectors) {
    const std::string empty, abc = "abc", digits = "123456789";
    const Vector cases[] = {
        {QXDigestKind::kCrc32, &empty, "empty", "00000000"},
        {QXDigestKind::kCrc32, &digits, "123456789", "2639f4cb"},
        {QXDigestKind::kXxh64, &empty, "empty", "99e9d85137db46ef"},
        {QXDigestKind::kXxh64, &digits, "123456789", "83aee640db41b88c"},
        {QXDigestKind::kMd5, &empty, "empty", "d41d8cd98f00b204e9800998ecf8427e"},
        {QXDigestKind::kMd5, &abc, "abc", "900150983cd24fb0d6963f7d28e17f72"},
        {QXDigestKind::kMd5, &kMillionA, "a*1e6", "7707d6ae4e027c70eea2a935c2296f21"},
        {QXDigestKind::kSha1, &abc, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {QXDigestKind::kSha1, &kMillionA, "a*1e6", "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
        {QXDigestKind::kSha256, &empty, "empty",
         "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {QXDigestKind::kSha256, &abc, "abc",
         "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {QXDigestKind::kSha256, &kMillionA, "a*1e6",
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {QXDigestKind::kSha512, &abc, "abc",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
         "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {QXDigestKind::kSha512, &kMillionA, "a*1e6",
         "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
         "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b"},
    };
    TempDir dir;
    int n = 0;
    for (const Vector& c : cases) {
        const std::string path = dir.createFile("f" + std::to_string(n++), *c.data);
        SCOPED_TRACE(std::string(digestCacheTag(c.kind)) + " of " + c.input);
        const std::string text = DigestFile(c.kind, path);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(text.size(), digestTextLength(c.kind));
        // The record path gives the same text.
        auto rec = QXFileInfo::fromPath(path);
        ASSERT_TRUE(rec);
        ASSERT_TRUE(EnsureDigest(*rec, c.kind, nullptr));
        EXPECT_EQ(rec->extras().digests->text(c.kind), std::wstring(c.text, c.text + text.size()));
    }
}

TEST(Digest, NonRegularAndChangedFilesGiveEmptyTextOnce) {
    TempDir dir;
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string target = dir.createFile("target", "content");
    const std::string link = dir / "link";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    const std::string grown = dir.createFile("grown", "12345");

    auto fifoRec = QXFileInfo::fromPath(fifo);
    auto linkRec = QXFileInfo::fromPath(link);
    auto grownRec = QXFileInfo::fromPath(grown);
    ASSERT_TRUE(fifoRec && linkRec && grownRec);
    {
        std::ofstream f(grown, std::ios::app | std::ios::binary);
        f << "6";
    }
    EXPECT_EQ(DigestFile(QXDigestKind::kMd5, fifo), "");  // must not block
    EXPECT_EQ(DigestFile(QXDigestKind::kMd5, link), "");

    QXLog::clearQueue();
    for (auto* rec : {fifoRec.get(), linkRec.get(), grownRec.get()}) {
        SCOPED_TRACE(rec->nativePath());
        ASSERT_TRUE(EnsureDigest(*rec, QXDigestKind::kCrc32, nullptr));
        EXPECT_TRUE(rec->hasFlag(QXFileInfo::kCrc32Computed));
        EXPECT_EQ(rec->extras().digests->crc32, L"");
        // Asked again: no second read and no second log line.
        ASSERT_TRUE(EnsureDigest(*rec, QXDigestKind::kCrc32, nullptr));
    }
    const std::vector<std::wstring> expected = {fifoRec->fullPath(), linkRec->fullPath(),
                                                grownRec->fullPath()};
    EXPECT_EQ(takeMessages(), expected);
}

TEST(Digest, SecondKindReusesTheRecord) {
    TempDir dir;
    auto rec = QXFileInfo::fromPath(dir.createFile("f", "123456789"));
    ASSERT_TRUE(rec);
    ASSERT_TRUE(EnsureDigest(*rec, QXDigestKind::kCrc32, nullptr));
    QXDigestRecord* digests = rec->extras().digests.get();
    ASSERT_TRUE(EnsureDigest(*rec, QXDigestKind::kXxh64, nullptr));
    EXPECT_EQ(rec->extras().digests.get(), digests);
    EXPECT_EQ(digests->crc32, L"2639f4cb");
    EXPECT_EQ(digests->xxh64, L"83aee640db41b88c");
    EXPECT_EQ(digests->md5, L"");
    EXPECT_EQ(rec->flags() & (QXFileInfo::kCrc32Computed | QXFileInfo::kXxh64Computed |
                              QXFileInfo::kMd5Computed),
              QXFileInfo::kCrc32Computed | QXFileInfo::kXxh64Computed);
}

TEST(Digest, CacheIsTakenOnlyWhileTheWholeStampMatches) {
    TempDir dir;
    QXCacheServer cache;
    ASSERT_TRUE(cache.open(dir.createDir("settings")));
    const std::string path = dir.createFile("data.bin", "123456789");
    const char* tag = digestCacheTag(QXDigestKind::kCrc32);

    auto first = QXFileInfo::fromPath(path);
    ASSERT_TRUE(first);
    ASSERT_TRUE(EnsureDigest(*first, QXDigestKind::kCrc32, &cache));
    auto row = cache.lookup(path, tag);
    ASSERT_TRUE(row.found);
    EXPECT_EQ(row.content, "2639f4cb");
    EXPECT_EQ(row.stamp, digestCacheStamp(first->stat()));

    // Same size, inode and last-write time: the cached text is taken without reading.
    rewriteKeepingInode(path, "987654321", mtimeOf(*first));
    auto second = QXFileInfo::fromPath(path);
    ASSERT_TRUE(EnsureDigest(*second, QXDigestKind::kCrc32, &cache));
    EXPECT_EQ(second->extras().digests->crc32, L"2639f4cb");

    // One nanosecond later is a different state: read again, row replaced.
    timespec later = mtimeOf(*first);
    later.tv_nsec = (later.tv_nsec + 1) % 1000000000;
    rewriteKeepingInode(path, "987654321", later);
    auto third = QXFileInfo::fromPath(path);
    ASSERT_TRUE(EnsureDigest(*third, QXDigestKind::kCrc32, &cache));
    const std::string fresh = DigestFile(QXDigestKind::kCrc32, path);
    EXPECT_NE(fresh, "2639f4cb");
    EXPECT_EQ(third->extras().digests->crc32, std::wstring(fresh.begin(), fresh.end()));
    EXPECT_EQ(cache.lookup(path, tag).content, fresh);

    // A row in the minute-only form of earlier versions, and a row with empty content,
    // are misses.
    const std::string stamp = digestCacheStamp(third->stat());
    struct {
        const char* what;
        std::string content, stamp;
    } misses[] = {{"minute-only stamp", "00000000", stamp.substr(0, 16)},
                  {"empty content", "", stamp}};
    for (const auto& m : misses) {
        SCOPED_TRACE(m.what);
        cache.store(path, tag, m.content, m.stamp);
        auto rec = QXFileInfo::fromPath(path);
        ASSERT_TRUE(EnsureDigest(*rec, QXDigestKind::kCrc32, &cache));
        EXPECT_EQ(rec->extras().digests->crc32, std::wstring(fresh.begin(), fresh.end()));
        EXPECT_EQ(cache.lookup(path, tag).content, fresh);  // and the row is mended
    }

    // An unreadable file's empty text is not cached.
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto fifoRec = QXFileInfo::fromPath(fifo);
    ASSERT_TRUE(EnsureDigest(*fifoRec, QXDigestKind::kCrc32, &cache));
    EXPECT_FALSE(cache.lookup(fifo, tag).found);
}

TEST(Digest, CacheStampSpellsTheLocalMinuteThenTimeSizeAndInode) {
    const int64_t second = 1000000000;
    const int64_t times[] = {0,
                             -1,  // the last nanosecond of 1969
                             1700000000 * second + 123456789,
                             1700000000 * second + 999999999,  // the same second again
                             1700000059 * second,              // another second of the same minute
                             1700000060 * second,              // the next minute
                             4102444800 * second,              // 2100
                             -62135596800 * second};           // the year 1
    for (const int64_t ns : times) {
        SCOPED_TRACE(ns);
        platform::FileStat st;
        st.writeNs = ns;
        st.size = 1234567;
        st.ino = 89;
        platform::SYSTEMTIME local;
        ASSERT_TRUE(platform::fileTimeToLocalSystemTime(platform::fileTimeFromUnixNs(ns), local));
        char minute[32];
        std::snprintf(minute, sizeof minute, "%04d/%02d/%02d %02d:%02d", local.wYear, local.wMonth,
                      local.wDay, local.wHour, local.wMinute);
        EXPECT_EQ(digestCacheStamp(st),
                  std::string(minute) + " " + std::to_string(ns) + " 1234567 89");
    }
}

TEST(Digest, CachedDigestsTakeWhatSingleLookupsTake) {
    TempDir dir;
    QXCacheServer cache;
    ASSERT_TRUE(cache.open(dir.createDir("settings")));
    const QXDigestKind kind = QXDigestKind::kXxh64;
    dir.createDir("a");
    dir.createDir("b");
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i) {
        for (const char* folder : {"a", "b"})
            paths.push_back(dir.createFile(std::string(folder) + "/f" + std::to_string(i),
                                           std::string(size_t(i + 1), char('a' + i))));
    }
    // Cached: all but the last; then the first is rewritten in place (stale row).
    for (size_t i = 0; i + 1 < paths.size(); ++i) {
        auto rec = QXFileInfo::fromPath(paths[i]);
        ASSERT_TRUE(EnsureDigest(*rec, kind, &cache));
    }
    auto first = QXFileInfo::fromPath(paths[0]);
    timespec later = mtimeOf(*first);
    later.tv_sec += 1;
    rewriteKeepingInode(paths[0], "z", later);

    // From the table's rows, then from the packs written at the end of the first batch.
    for (const char* pass : {"table", "packs"}) {
        SCOPED_TRACE(pass);
        cache.beginBatch();
        cache.preload(std::vector<std::string>{digestCacheTag(kind)}, dir.path() + "/");
        std::vector<QXFileInfoPtr> batch, single;
        std::vector<QXFileInfo*> records;
        for (const auto& path : paths) {
            batch.push_back(QXFileInfo::fromPath(path));
            single.push_back(QXFileInfo::fromPath(path));
            records.push_back(batch.back().get());
        }
        CachedDigests(records, kind, &cache);
        for (size_t i = 0; i < paths.size(); ++i) {
            SCOPED_TRACE(paths[i]);
            const bool hit = CachedDigest(*single[i], kind, &cache);
            EXPECT_EQ(batch[i]->hasFlag(QXFileInfo::kXxh64Computed), hit);
            EXPECT_EQ(hit, i != 0 && i + 1 != paths.size());
            if (hit)
                EXPECT_EQ(batch[i]->extras().digests->xxh64, single[i]->extras().digests->xxh64);
        }
        cache.endBatch();
    }
}

TEST(Digest, CompareFileContentsNeedsBothToEndTogether) {
    TempDir dir;
    std::string big(3 * 1024 * 1024 + 17, 'x');
    std::string other = big;
    other.back() = 'y';
    auto a = QXFileInfo::fromPath(dir.createFile("a", big));
    auto b = QXFileInfo::fromPath(dir.createFile("b", big));
    auto c = QXFileInfo::fromPath(dir.createFile("c", other));
    auto e1 = QXFileInfo::fromPath(dir.createFile("e1", ""));
    auto e2 = QXFileInfo::fromPath(dir.createFile("e2", ""));
    ASSERT_TRUE(a && b && c && e1 && e2);
    EXPECT_TRUE(CompareFileContents(*a, *b));
    EXPECT_FALSE(CompareFileContents(*a, *c));
    EXPECT_TRUE(CompareFileContents(*e1, *e2));
    EXPECT_FALSE(CompareFileContents(*a, *e1));

    // b grows after it was recorded: no longer the recorded file.
    {
        std::ofstream f(dir / "b", std::ios::app | std::ios::binary);
        f << "more";
    }
    EXPECT_FALSE(CompareFileContents(*a, *b));
    // a vanishes.
    ASSERT_EQ(::unlink((dir / "a").c_str()), 0);
    EXPECT_FALSE(CompareFileContents(*a, *a));
}

}  // namespace
}  // namespace quenrix
