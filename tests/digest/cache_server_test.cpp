#include "digest/QXCacheServer.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <thread>
#include <vector>

#include "core/QXLog.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

using test::pathExists;
using test::TempDir;

// A second connection to the same file, as another running instance would hold.
class RawDb {
public:
    explicit RawDb(const std::string& path) { sqlite3_open(path.c_str(), &m_db); }
    ~RawDb() { sqlite3_close(m_db); }
    int exec(const char* sql) { return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }
    int64_t scalar(const char* sql) {
        sqlite3_stmt* st = nullptr;
        int64_t value = -1;
        if (sqlite3_prepare_v2(m_db, sql, -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            value = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return value;
    }

private:
    sqlite3* m_db = nullptr;
};

std::vector<std::wstring> takeMessages() {
    std::vector<std::wstring> out;
    for (const std::wstring& line : QXLog::takeQueued()) {
        const size_t start = line.find(L"> ");
        out.push_back(start == std::wstring::npos ? line : line.substr(start + 2));
    }
    return out;
}

TEST(CacheServer, QuotedPathIsStoredFoundAndCompacted) {
    TempDir dir;
    QXCacheServer cache;
    ASSERT_TRUE(cache.open(dir.createDir("settings")));
    EXPECT_TRUE(pathExists(dir / "settings/cache.db"));

    const std::string kept = dir.createFile("O'Neil/it's.txt", "x");
    const std::string gone = dir / "O'Neil/gone'; DROP TABLE quenrix_cache_table; --";
    for (const std::string& p : {kept, gone}) {
        cache.store(p, "md5", "a'b", "2026/01/02 03:04 5 6 7");
        cache.store(p, "crc32", "c", "s");
    }
    auto hit = cache.lookup(gone, "md5");
    EXPECT_TRUE(hit.ok && hit.found);
    EXPECT_EQ(hit.content, "a'b");
    EXPECT_EQ(hit.stamp, "2026/01/02 03:04 5 6 7");
    EXPECT_TRUE(cache.exists(kept, "crc32"));

    auto miss = cache.lookup(kept, "sha1");
    EXPECT_TRUE(miss.ok);
    EXPECT_FALSE(miss.found);
    EXPECT_EQ(miss.content, "");
    EXPECT_EQ(miss.stamp, "");

    EXPECT_EQ(cache.compact(), 2);  // both rows of the vanished path, nothing else
    EXPECT_FALSE(cache.exists(gone, "md5"));
    EXPECT_FALSE(cache.exists(gone, "crc32"));
    EXPECT_TRUE(cache.exists(kept, "md5"));
    EXPECT_TRUE(cache.exists(kept, "crc32"));
    EXPECT_EQ(cache.compact(), 0);
}

TEST(CacheServer, StoringTwiceKeepsOneRowWithTheSecondValue) {
    TempDir dir;
    QXCacheServer cache;
    ASSERT_TRUE(cache.open(dir.path()));
    cache.store("/a", "sha1", "first", "s1");
    cache.store("/a", "sha1", "second", "s2");
    cache.store("/a", "md5", "other tag", "s3");
    auto hit = cache.lookup("/a", "sha1");
    EXPECT_EQ(hit.content, "second");
    EXPECT_EQ(hit.stamp, "s2");
    RawDb raw(cache.databasePath());
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM quenrix_cache_table WHERE path = '/a' AND "
                         "tag = 'sha1'"),
              1);
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM quenrix_cache_table"), 2);
}

TEST(CacheServer, OlderFileKeepsItsRowsAndGetsTheIndex) {
    TempDir dir;
    const std::string path = dir / "cache.db";
    {
        RawDb raw(path);
        ASSERT_EQ(raw.exec(QXCacheServer::kCreateTable), SQLITE_OK);
        ASSERT_EQ(raw.exec("INSERT INTO quenrix_cache_table VALUES('/x', 'md5', "
                           "'2020/01/01 00:00', 'abc');"),
                  SQLITE_OK);
    }
    QXCacheServer cache;
    ASSERT_TRUE(cache.open(dir.path()));
    auto hit = cache.lookup("/x", "md5");
    EXPECT_TRUE(hit.found);
    EXPECT_EQ(hit.content, "abc");
    EXPECT_EQ(hit.stamp, "2020/01/01 00:00");
    RawDb raw(path);
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND "
                         "tbl_name = 'quenrix_cache_table'"),
              1);
}

TEST(CacheServer, LockedDatabaseFailsWithBusyAfterTheTimeOut) {
    TempDir dir;
    QXCacheServer cache;
    cache.setBusyTimeout(50);
    ASSERT_TRUE(cache.open(dir.path()));
    cache.store("/kept", "md5", "v", "s");

    RawDb other(cache.databasePath());
    ASSERT_EQ(other.exec("BEGIN EXCLUSIVE;"), SQLITE_OK);
    QXLog::clearQueue();
    cache.store("/new", "md5", "v", "s");
    auto hit = cache.lookup("/kept", "md5");
    EXPECT_FALSE(hit.ok);
    EXPECT_FALSE(hit.found);
    const std::vector<std::wstring> log = takeMessages();
    ASSERT_EQ(log.size(), 1u);  // from the store; the lookup is silent
    EXPECT_EQ(log[0].rfind(L"ERROR: CacheServer : SQLite Exception : SQLITE_BUSY[5]: ", 0), 0u)
        << tovy::toUtf8(log[0]);

    ASSERT_EQ(other.exec("COMMIT;"), SQLITE_OK);
    EXPECT_TRUE(cache.lookup("/kept", "md5").found);
    EXPECT_FALSE(cache.lookup("/new", "md5").found);
}

TEST(CacheServer, BatchedStoresFromSeveralThreadsAllArrive) {
    TempDir dir;
    QXCacheServer cache;
    ASSERT_TRUE(cache.open(dir.path()));
    constexpr int kThreads = 4, kRows = 700;  // more than one commit per batch
    cache.beginBatch();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&cache, t] {
            for (int i = 0; i < kRows; ++i) {
                const std::string path = "/t" + std::to_string(t) + "/" + std::to_string(i);
                cache.store(path, "xxhash64", std::to_string(i), "s");
                if (!cache.lookup(path, "xxhash64").found) ADD_FAILURE() << path;
            }
        });
    }
    for (auto& th : threads) th.join();
    cache.endBatch();
    RawDb raw(cache.databasePath());
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM quenrix_cache_table"), kThreads * kRows);
}

TEST(CacheServer, ClearMakesANewEmptyFile) {
    TempDir dir;
    QXCacheServer cache;
    ASSERT_TRUE(cache.open(dir.path()));
    EXPECT_TRUE(cache.clear());  // right after the file was created
    EXPECT_TRUE(cache.isOpen());
    cache.store("/a", "md5", "v", "s");
    EXPECT_TRUE(cache.clear());
    EXPECT_TRUE(pathExists(cache.databasePath()));
    auto miss = cache.lookup("/a", "md5");
    EXPECT_TRUE(miss.ok);
    EXPECT_FALSE(miss.found);
    EXPECT_EQ(cache.compact(), 0);  // empty table

    EXPECT_TRUE(cache.close());
    EXPECT_FALSE(cache.lookup("/a", "md5").ok);
    QXLog::clearQueue();
    cache.store("/a", "md5", "v", "s");
    const std::vector<std::wstring> expected = {
        L"ERROR: CacheServer : SQLite Exception : CPPSQLITE_ERROR[1000]: Database not open"};
    EXPECT_EQ(takeMessages(), expected);
}

// A search reads the rows below its folders into memory once; the answers must be those
// the database gives, stores during the batch must be seen, and paths outside the prefix
// (or another tag) still go to the database. A table mostly below the prefix is read
// straight through, one mostly elsewhere through the index: both must answer alike.
TEST(CacheServer, PreloadedRowsAnswerLikeTheDatabase) {
    for (const int elsewhere : {0, 64}) {
        SCOPED_TRACE(elsewhere);
        TempDir dir;
        QXCacheServer cache;
        ASSERT_TRUE(cache.open(dir.createDir("settings")));
        cache.store("/data/a", "xxhash64", "aaaa", "s1");
        cache.store("/data/it's", "xxhash64", "bbbb", "s2");
        cache.store("/database", "xxhash64", "cccc", "s3");  // shares the bytes "/data" only
        cache.store("/data/a", "md5", "dddd", "s4");
        cache.store("/other/x", "xxhash64", "eeee", "s5");
        cache.store("/data/b", "xxh3prefix4096", "hhhh", "s8");
        for (int i = 0; i < elsewhere; ++i)
            cache.store("/zz/" + std::to_string(i), "xxhash64", "zzzz", "s9");

        cache.preload("xxhash64", "/data/");  // outside a batch: nothing happens
        cache.beginBatch();
        cache.preload(std::vector<std::string>{"xxhash64", "xxh3prefix4096"}, "/data/");
        const auto a = cache.lookup("/data/a", "xxhash64");
        EXPECT_TRUE(a.ok && a.found);
        EXPECT_EQ(a.content, "aaaa");
        EXPECT_EQ(a.stamp, "s1");
        EXPECT_EQ(cache.lookup("/data/it's", "xxhash64").content, "bbbb");
        EXPECT_EQ(cache.lookup("/data/b", "xxh3prefix4096").content, "hhhh");
        EXPECT_FALSE(cache.lookup("/data/b", "xxhash64").found);
        const auto missing = cache.lookup("/data/none", "xxhash64");
        EXPECT_TRUE(missing.ok);
        EXPECT_FALSE(missing.found);
        EXPECT_EQ(cache.lookup("/database", "xxhash64").content, "cccc");
        EXPECT_EQ(cache.lookup("/data/a", "md5").content, "dddd");
        EXPECT_EQ(cache.lookup("/other/x", "xxhash64").content, "eeee");
        std::string content = "old", stamp = "old";
        EXPECT_FALSE(cache.find("/data/none", "xxhash64", content, stamp));
        EXPECT_EQ(content + stamp, "");

        cache.store("/data/new", "xxhash64", "ffff", "s6");
        cache.store("/data/a", "xxhash64", "gggg", "s7");
        EXPECT_EQ(cache.lookup("/data/new", "xxhash64").content, "ffff");
        EXPECT_EQ(cache.lookup("/data/a", "xxhash64").stamp, "s7");
        cache.endBatch();

        // After the batch the stores are in the database itself.
        RawDb raw(cache.databasePath());
        EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM quenrix_cache_table WHERE tag = 'xxhash64'"),
                  5 + elsewhere);
        EXPECT_EQ(cache.lookup("/data/a", "xxhash64").content, "gggg");
    }
}

}  // namespace
}  // namespace quenrix
