// The cache store: costly per-file values (content digests, image features) kept across
// runs in the SQLite file "cache.db" of the settings folder, one row per (path, tag) with
// a validity stamp that the caller builds from the file's state and compares itself.
//
// Table quenrix_cache_table (path TEXT, tag TEXT, timestamp TEXT, content TEXT) with an
// index on (path, tag). Paths are the native path bytes and compare exactly. Values are
// bound to the statements, never pasted into their text.
//
// Beside it, derived copies that a search reads much faster: quenrix_cache_packs holds
// per folder and tag one blob of that folder's rows (QXCachePacks), and
// quenrix_cache_cover the path ranges of a tag whose rows are all in packs. The table
// stays the authority: triggers drop a folder's pack and every cover of the path as soon
// as a row changes, by this program or any other, and a search rewrites the packs of the
// ranges it read once its batch ends.
//
// One process-wide instance (instance()); tests may make their own. Thread-safe: one
// lock serialises every use of the connection, so several digest threads may look up
// and store at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "digest/QXCachePacks.h"
#include "digest/QXCacheRows.h"
#include "tovy/support_sqlite/SQLiteServer.h"

namespace quenrix {

class QXCacheServer : public tovy::support_sqlite::SQLiteServer {
public:
    static constexpr const char* kFileName = "cache.db";
    static constexpr const char* kCreateTable =
        "CREATE TABLE quenrix_cache_table (path TEXT, tag TEXT, timestamp TEXT, content TEXT);";
    // Stores inside a batch are committed together once this many are pending (each commit
    // is a disk sync, so commits must be few), or once the transaction is this old, so
    // another instance is never kept waiting for long.
    static constexpr int kBatchCommitRows = 16384;
    static constexpr int kBatchCommitMs = 2000;

    // The menu commands' texts: the question asked first and the message shown after.
    static constexpr const wchar_t* kClearQuestion = L"キャッシュを初期化します。よろしいですか？";
    static constexpr const wchar_t* kClearDone = L"キャッシュを初期化しました。";
    static constexpr const wchar_t* kCompactQuestion =
        L"キャッシュから不要なものを削除して小さくします。よろしいですか？";
    static constexpr const wchar_t* kCompactDone = L"キャッシュを小さくしました。";

    struct LookupResult {
        bool ok = false;     // the statement ran (no row found is still ok)
        bool found = false;  // a row exists for (path, tag)
        std::string content;
        std::string stamp;
    };

    static QXCacheServer& instance();

    QXCacheServer() = default;
    ~QXCacheServer() override;

    // Opens "cache.db" in settingsFolder (creating the file and its table when missing).
    // The folder is remembered for open() and clear().
    bool open(const std::string& settingsFolder);
    bool open() override;
    bool close() override;
    void createTables() override;

    // The path of the database file ("" before a folder was given).
    std::string databasePath() const;

    // Never throws; a failure reads as not ok and not found, and is not logged.
    LookupResult lookup(std::string_view path, std::string_view tag);
    // The same into the caller's strings, whose storage is reused (the searches look up
    // tens of thousands of rows and keep one pair of strings per thread): true when a row
    // was found; on false both are emptied.
    bool find(std::string_view path, std::string_view tag, std::string& content,
              std::string& stamp);
    // The rows of many paths of one tag: calls answer(i, content, stamp) for each i below
    // count whose path pathOf(i) has a row, under the store's lock (the views hold during
    // the call only). The same answers as find, but paths of one folder that come one
    // after another are looked up in their folder's pack without hashing each path again.
    void findEach(std::string_view tag, size_t count,
                  const std::function<std::string_view(size_t)>& pathOf,
                  const std::function<void(size_t, std::string_view, std::string_view)>& answer);
    // True when a row exists; a failure is logged and reads as false.
    bool exists(std::string_view path, std::string_view tag);
    // Inserts or replaces the row of (path, tag). A failure is logged and ignored.
    void store(std::string_view path, std::string_view tag, std::string_view content,
               std::string_view stamp);

    // Between beginBatch and the matching endBatch (they nest, also across threads),
    // stores are gathered into transactions committed every kBatchCommitRows rows or
    // kBatchCommitMs milliseconds and at the last endBatch. Lookups see the pending rows.
    void beginBatch();
    void endBatch();
    // Inside a batch: reads every row of `tag` whose path starts with `pathPrefix` into
    // memory, so that until the batch ends the lookups of such paths are answered from
    // memory (a search looks up tens of thousands of paths below its targets). Stores keep
    // the memory copy current. Outside a batch it does nothing.
    void preload(std::string_view tag, std::string_view pathPrefix);
    // The same for several tags in one pass.
    void preload(const std::vector<std::string>& tags, std::string_view pathPrefix);

    // Closes the store, deletes the database file and opens a new, empty one. When the
    // file cannot be deleted the old one is opened again; false then.
    bool clear();
    // Deletes the rows of every path where no file or folder exists any more, looking at
    // each distinct path once. Returns the number of rows deleted, -1 on a failure (logged;
    // the rows found until then are still deleted).
    int64_t compact();

private:
    void logException(const std::string& message);
    // find, also telling whether the lookup ran (no row found still ran); ran is false
    // and the strings empty on a failure.
    bool findRow(std::string_view path, std::string_view tag, std::string& content,
                 std::string& stamp, bool& ran);
    // Starts the batch's transaction when a batch is open and none runs yet.
    void openBatchTransactionLocked();
    void commitLocked();
    void finalizeStatements();

    struct Preloaded {
        std::string tag;
        std::string prefix;
        std::string upper;  // the end of the prefix's range, "" for none
        // The rows read from the table (fromTable), or the rows stored during the batch
        // over the packs read instead.
        QXCacheRows rows;
        std::unique_ptr<QXCachePacks> packs;
        bool fromTable = false;
        bool changed = false;
    };
    // Reads the packs of a covered range into p; false when the range is not covered or
    // a pack is malformed.
    bool loadPacksLocked(Preloaded& p);
    // At the end of a batch: writes the packs and the cover of every range read from the
    // table or changed since, unless another connection wrote meanwhile.
    void writePacksLocked();
    Preloaded* preloadedFor(std::string_view path, std::string_view tag);

    std::recursive_mutex m_lock;
    std::vector<Preloaded> m_preloaded;
    std::string m_folder;
    int64_t m_dataVersion = -1;  // PRAGMA data_version when the first range was read
    int m_batchDepth = 0;
    bool m_inTransaction = false;
    int m_pendingRows = 0;
    std::chrono::steady_clock::time_point m_transactionStart;
    std::optional<tovy::support_sqlite::CppSQLite3Statement> m_lookupStmt;
    std::optional<tovy::support_sqlite::CppSQLite3Statement> m_updateStmt;
    std::optional<tovy::support_sqlite::CppSQLite3Statement> m_insertStmt;
};

}  // namespace quenrix
