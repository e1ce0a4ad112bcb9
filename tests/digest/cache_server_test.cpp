#include "digest/QXCacheServer.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <functional>
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

TEST(CachePacks, BlobsRoundTripAndMalformedOnesAreRefused) {
    std::vector<QXCachePacks::Entry> rows = {
        {"b.txt", "bbbb", "s2"}, {"a'.txt", "", "s1"}, {std::string_view("n\0ul", 4), "c", ""}};
    const std::string blob = QXCachePacks::encode(rows);
    std::vector<QXCachePacks::Entry> back;
    ASSERT_TRUE(QXCachePacks::decode(blob, back));
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].name, "a'.txt");
    EXPECT_EQ(back[1].name, "b.txt");
    EXPECT_EQ(back[1].content, "bbbb");
    EXPECT_EQ(back[2].name, std::string_view("n\0ul", 4));

    const struct {
        const char* what;
        std::string blob;
    } bad[] = {
        {"no magic", std::string("QXP2")},
        {"empty", std::string()},
        {"length past the end", std::string("QXP1\x05"
                                            "ab",
                                            7)},
        {"field missing", std::string("QXP1\x01"
                                      "a\x00",
                                      7)},
        {"length too long", std::string("QXP1\xff\xff\xff\xff\xff\x01", 10)},
        {"names out of order", std::string("QXP1\x01"
                                           "b\x00\x00\x01"
                                           "a\x00\x00",
                                           12)},
        {"name repeated", std::string("QXP1\x01"
                                      "a\x00\x00\x01"
                                      "a\x00\x00",
                                      12)},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(QXCachePacks::decode(c.blob, back));
        QXCachePacks packs;
        EXPECT_FALSE(packs.add("/d/", c.blob));
        EXPECT_EQ(packs.folders(), 0u);
    }
    // Any bytes after a good start: refused or read, never past the end.
    uint32_t seed = 7;
    for (int i = 0; i < 2000; ++i) {
        std::string noise = blob;
        for (int k = 0; k < 3; ++k) {
            seed = seed * 1664525u + 1013904223u;
            noise[4 + seed % (noise.size() - 4)] = char(seed >> 24);
        }
        noise.resize(4 + seed % (noise.size() - 3));
        if (QXCachePacks::decode(noise, back)) {
            for (const auto& e : back) {
                EXPECT_GE(e.name.data(), noise.data());
                EXPECT_LE(e.stamp.data() + e.stamp.size(), noise.data() + noise.size());
            }
        }
    }
}

// The packed copies a search reads instead of the table answer exactly like it, and a
// row changed by anyone (this program or another) is never answered from an old pack.
TEST(CacheServer, PacksAnswerLikeTheTableAndNeverOutliveAChange) {
    TempDir dir;
    QXCacheServer cache;
    ASSERT_TRUE(cache.open(dir.createDir("settings")));
    cache.store("/data/a", "xxhash64", "aaaa", "s1");
    cache.store("/data/it's", "xxhash64", "bbbb", "s2");
    cache.store("/data/sub/b", "xxhash64", "cccc", "s3");
    cache.store("/elsewhere/c", "xxhash64", "dddd", "s4");
    RawDb raw(cache.databasePath());
    auto covers = [&] { return raw.scalar("SELECT COUNT(*) FROM quenrix_cache_cover"); };
    auto search = [&](const std::function<void()>& inBatch) {
        cache.beginBatch();
        cache.preload(std::vector<std::string>{"xxhash64"}, "/data/");
        inBatch();
        cache.endBatch();
    };
    auto content = [&](const char* path) {
        const auto r = cache.lookup(path, "xxhash64");
        EXPECT_TRUE(r.ok) << path;
        return r.found ? r.content : std::string("(none)");
    };

    // findEach answers as a lookup of each path does, whatever order the folders come in.
    auto eachAgrees = [&] {
        const std::vector<std::string_view> paths = {
            "/data/a",        "/data/sub/b", "/data/it's", "/data/none", "/elsewhere/c",
            "/data/sub/none", "/data/new",   "/data/a",    "/dat",       "/data/sub/"};
        std::vector<std::string> answers(paths.size(), "(none)");
        cache.findEach(
            "xxhash64", paths.size(), [&](size_t i) { return paths[i]; },
            [&](size_t i, std::string_view c, std::string_view s) {
                answers[i] = std::string(c) + "|" + std::string(s);
            });
        for (size_t i = 0; i < paths.size(); ++i) {
            const auto r = cache.lookup(paths[i], "xxhash64");
            EXPECT_EQ(answers[i], r.found ? r.content + "|" + r.stamp : "(none)") << paths[i];
        }
    };
    search(eachAgrees);  // reads the table and packs what it read
    EXPECT_EQ(raw.scalar("SELECT COUNT(*) FROM quenrix_cache_packs"), 2);  // /data/, /data/sub/
    EXPECT_EQ(covers(), 1);
    search([&] {
        eachAgrees();
        EXPECT_EQ(content("/data/a"), "aaaa");
        EXPECT_EQ(cache.lookup("/data/it's", "xxhash64").stamp, "s2");
        EXPECT_EQ(content("/data/sub/b"), "cccc");
        EXPECT_EQ(content("/data/none"), "(none)");
        EXPECT_EQ(content("/elsewhere/c"), "dddd");
        // Stores during a search over the packs: its folder's pack is rewritten.
        cache.store("/data/a", "xxhash64", "a2", "s5");
        cache.store("/data/new", "xxhash64", "eeee", "s6");
        EXPECT_EQ(content("/data/a"), "a2");
        eachAgrees();
    });
    EXPECT_EQ(covers(), 1);
    search([&] {
        EXPECT_EQ(content("/data/a"), "a2");
        EXPECT_EQ(content("/data/new"), "eeee");
        EXPECT_EQ(content("/data/it's"), "bbbb");
    });

    const struct {
        const char* sql;
        const char* path;
        const char* expected;
    } changes[] = {
        {"UPDATE quenrix_cache_table SET content = 'a3' WHERE path = '/data/a'", "/data/a", "a3"},
        {"DELETE FROM quenrix_cache_table WHERE path = '/data/sub/b'", "/data/sub/b", "(none)"},
        {"INSERT INTO quenrix_cache_table VALUES ('/data/sub/c', 'xxhash64', 's7', 'ffff')",
         "/data/sub/c", "ffff"},
        {"UPDATE quenrix_cache_table SET path = '/data/moved' WHERE path = '/data/new'",
         "/data/new", "(none)"},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.sql);
        ASSERT_EQ(raw.exec(c.sql), SQLITE_OK);
        EXPECT_EQ(covers(), 0);
        search([&] { EXPECT_EQ(content(c.path), c.expected); });
        EXPECT_EQ(covers(), 1);
        search([&] { EXPECT_EQ(content(c.path), c.expected); });
    }
    search([&] { EXPECT_EQ(content("/data/moved"), "eeee"); });

    // A pack that is not ours: the search reads the table instead.
    ASSERT_EQ(raw.exec("UPDATE quenrix_cache_packs SET rows = x'00ff' WHERE folder = '/data/'"),
              SQLITE_OK);
    search([&] { EXPECT_EQ(content("/data/a"), "a3"); });

    // Another program writing between the search's commits: nothing is packed then. A
    // store made once the transaction is kBatchCommitMs old commits it, so the other
    // connection can write right after.
    search([&] {
        cache.store("/data/bulk/1", "xxhash64", "9999", "s");
        std::this_thread::sleep_for(std::chrono::milliseconds(QXCacheServer::kBatchCommitMs + 100));
        cache.store("/data/bulk/2", "xxhash64", "9999", "s");
        EXPECT_EQ(raw.exec("INSERT INTO quenrix_cache_table VALUES "
                           "('/data/bulk/other', 'xxhash64', 's', '8888')"),
                  SQLITE_OK);
    });
    EXPECT_EQ(covers(), 0);
    search([&] { EXPECT_EQ(content("/data/bulk/other"), "8888"); });
}

}  // namespace
}  // namespace quenrix
