#include "digest/QXCacheServer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "core/QXLog.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

using tovy::support_sqlite::CppSQLite3DB;
using tovy::support_sqlite::CppSQLite3Exception;
using tovy::support_sqlite::CppSQLite3Query;
using tovy::support_sqlite::CppSQLite3Statement;

namespace {

constexpr const char* kTable = "quenrix_cache_table";
// A search touches every row below its folders once; with the default page cache of
// 2 MB the index walk would read the same table pages again and again.
constexpr const char* kCacheSize = "PRAGMA cache_size = -32768;";
constexpr const char* kCreateIndex =
    "CREATE INDEX IF NOT EXISTS quenrix_cache_path_tag ON quenrix_cache_table (path, tag);";

// The packed copies and the triggers that drop them when a row of the table changes.
// rtrim(path, <every character of path but '/'>) is the path up to its last '/'.
constexpr const char* kCreatePacks =
    "CREATE TABLE IF NOT EXISTS quenrix_cache_packs (folder TEXT, tag TEXT, rows BLOB, "
    "PRIMARY KEY (folder, tag));"
    "CREATE TABLE IF NOT EXISTS quenrix_cache_cover (tag TEXT, low TEXT, high TEXT);"
    "CREATE TRIGGER IF NOT EXISTS quenrix_cache_packs_insert AFTER INSERT ON "
    "quenrix_cache_table BEGIN "
    "DELETE FROM quenrix_cache_packs WHERE tag = NEW.tag AND "
    "folder = rtrim(NEW.path, replace(NEW.path, '/', '')); "
    "DELETE FROM quenrix_cache_cover WHERE tag = NEW.tag AND NEW.path >= low AND "
    "(high IS NULL OR NEW.path < high); END;"
    "CREATE TRIGGER IF NOT EXISTS quenrix_cache_packs_update AFTER UPDATE ON "
    "quenrix_cache_table BEGIN "
    "DELETE FROM quenrix_cache_packs WHERE (tag = NEW.tag AND "
    "folder = rtrim(NEW.path, replace(NEW.path, '/', ''))) OR (tag = OLD.tag AND "
    "folder = rtrim(OLD.path, replace(OLD.path, '/', ''))); "
    "DELETE FROM quenrix_cache_cover WHERE (tag = NEW.tag AND NEW.path >= low AND "
    "(high IS NULL OR NEW.path < high)) OR (tag = OLD.tag AND OLD.path >= low AND "
    "(high IS NULL OR OLD.path < high)); END;"
    "CREATE TRIGGER IF NOT EXISTS quenrix_cache_packs_delete AFTER DELETE ON "
    "quenrix_cache_table BEGIN "
    "DELETE FROM quenrix_cache_packs WHERE tag = OLD.tag AND "
    "folder = rtrim(OLD.path, replace(OLD.path, '/', '')); "
    "DELETE FROM quenrix_cache_cover WHERE tag = OLD.tag AND OLD.path >= low AND "
    "(high IS NULL OR OLD.path < high); END;";

// Only a path that is certainly gone counts as gone: a folder we may not search
// (EACCES) or a path on a missing mount (EIO...) keeps its rows.
bool pathIsGone(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) return false;
    return errno == ENOENT || errno == ENOTDIR;
}

}  // namespace

QXCacheServer& QXCacheServer::instance() {
    static QXCacheServer server;
    return server;
}

QXCacheServer::~QXCacheServer() {
    close();
}

std::string QXCacheServer::databasePath() const {
    if (m_folder.empty()) return {};
    std::string path = m_folder;
    if (path.back() != '/') path += '/';
    return path + kFileName;
}

bool QXCacheServer::open(const std::string& settingsFolder) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (isOpen() && settingsFolder != m_folder) close();
    m_folder = settingsFolder;
    return open();
}

bool QXCacheServer::open() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const std::string path = databasePath();
    if (path.empty()) return false;
    return openFile(path);
}

bool QXCacheServer::close() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_preloaded.clear();
    if (!isOpen()) return true;
    commitLocked();
    finalizeStatements();
    return SQLiteServer::close();
}

void QXCacheServer::createTables() {
    // Runs inside openFile, under the lock of open(); exceptions go back to openFile.
    if (!db()->tableExists(kTable)) db()->execDML(kCreateTable);
    db()->execDML(kCreateIndex);
    db()->execDML(kCreatePacks);
    db()->execDML(kCacheSize);
}

void QXCacheServer::finalizeStatements() {
    try {
        m_lookupStmt.reset();
        m_updateStmt.reset();
        m_insertStmt.reset();
    } catch (...) {
    }
}

void QXCacheServer::logException(const std::string& message) {
    QXLog::Write(L"ERROR: CacheServer : SQLite Exception : %s", tovy::fromUtf8(message).c_str());
}

QXCacheServer::Preloaded* QXCacheServer::preloadedFor(std::string_view path, std::string_view tag) {
    for (Preloaded& p : m_preloaded) {
        if (p.tag == tag && path.substr(0, p.prefix.size()) == p.prefix) return &p;
    }
    return nullptr;
}

void QXCacheServer::preload(std::string_view tag, std::string_view pathPrefix) {
    preload(std::vector<std::string>{std::string(tag)}, pathPrefix);
}

void QXCacheServer::preload(const std::vector<std::string>& tags, std::string_view pathPrefix) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_batchDepth == 0 || !db()) return;
    // The paths that start with the prefix are those from the prefix up to (not
    // including) the prefix with its last byte raised. A prefix of 0xFF bytes only has
    // no upper bound.
    std::string upper(pathPrefix);
    while (!upper.empty() && uint8_t(upper.back()) == 0xFF) upper.pop_back();
    if (!upper.empty()) upper.back() = char(uint8_t(upper.back()) + 1);
    std::vector<Preloaded> loaded;
    for (const std::string& tag : tags) {
        // Already covered by a wider preload of this batch.
        if (preloadedFor(pathPrefix, tag)) continue;
        loaded.emplace_back();
        loaded.back().tag = tag;
        loaded.back().prefix = pathPrefix;
        loaded.back().upper = upper;
    }
    if (loaded.empty()) return;
    try {
        openBatchTransactionLocked();
        if (m_dataVersion < 0) m_dataVersion = db()->execScalar("PRAGMA data_version;");
        std::vector<Preloaded*> fromTable;
        for (Preloaded& p : loaded) {
            if (!loadPacksLocked(p)) {
                p.packs.reset();
                p.fromTable = true;
                fromTable.push_back(&p);
            }
        }
        auto keep = [&](std::string_view path, std::string_view tag, std::string_view content,
                        std::string_view stamp) {
            for (Preloaded* p : fromTable) {
                if (p->tag != tag) continue;
                p->rows.set(path, content, stamp);
                return;
            }
        };
        const char* range = upper.empty() ? " WHERE path >= ?" : " WHERE path >= ? AND path < ?";
        auto bindRange = [&](CppSQLite3Statement& stmt) {
            stmt.bind(1, pathPrefix);
            if (!upper.empty()) stmt.bind(2, std::string_view(upper));
            return upper.empty() ? 2 : 3;
        };
        if (!fromTable.empty()) {
            // Counting the range reads the index alone. When most of the table lies in
            // it, the table is read straight through: fetching each row of the range from
            // its own table page costs several times that walk.
            CppSQLite3Statement count = db()->compileStatement(
                std::string("SELECT COUNT(*) FROM quenrix_cache_table") + range + ";");
            bindRange(count);
            int64_t inRange = 0;
            {
                CppSQLite3Query q = count.execQuery();
                if (!q.eof()) inRange = q.getInt64Field(0);
            }
            const int64_t tableRows =
                db()->execScalar("SELECT MAX(rowid) FROM quenrix_cache_table;");
            if (inRange * 4 >= tableRows) {
                CppSQLite3Query q =
                    db()->execQuery("SELECT path,tag,content,timestamp FROM quenrix_cache_table;");
                for (; !q.eof(); q.nextRow()) {
                    const std::string_view path = q.getStringView(0);
                    if (path.substr(0, pathPrefix.size()) == pathPrefix)
                        keep(path, q.getStringView(1), q.getStringView(2), q.getStringView(3));
                }
            } else {
                for (Preloaded* p : fromTable) {
                    CppSQLite3Statement stmt = db()->compileStatement(
                        std::string("SELECT path,tag,content,timestamp FROM quenrix_cache_table") +
                        range + " AND tag = ?;");
                    stmt.bind(bindRange(stmt), std::string_view(p->tag));
                    CppSQLite3Query q = stmt.execQuery();
                    for (; !q.eof(); q.nextRow())
                        keep(q.getStringView(0), q.getStringView(1), q.getStringView(2),
                             q.getStringView(3));
                }
            }
        }
        for (Preloaded& p : loaded) m_preloaded.push_back(std::move(p));
    } catch (const CppSQLite3Exception& e) {
        // The lookups simply go to the database one by one then.
        logException(e.errorMessage());
    } catch (const std::bad_alloc&) {
    }
}

bool QXCacheServer::loadPacksLocked(Preloaded& p) {
    // Covered: some cover of the tag spans the whole range [prefix, upper).
    CppSQLite3Statement cover = db()->compileStatement(
        "SELECT COUNT(*) FROM quenrix_cache_cover WHERE tag = ? AND low <= ? AND "
        "(high IS NULL OR (? <> '' AND high >= ?));");
    cover.bind(1, std::string_view(p.tag));
    cover.bind(2, std::string_view(p.prefix));
    cover.bind(3, std::string_view(p.upper));
    cover.bind(4, std::string_view(p.upper));
    {
        CppSQLite3Query q = cover.execQuery();
        if (q.eof() || q.getInt64Field(0) == 0) return false;
    }
    p.packs = std::make_unique<QXCachePacks>();
    CppSQLite3Statement stmt = db()->compileStatement(
        p.upper.empty()
            ? "SELECT folder,rows FROM quenrix_cache_packs WHERE tag = ? AND folder >= ?;"
            : "SELECT folder,rows FROM quenrix_cache_packs WHERE tag = ? AND folder >= ? AND "
              "folder < ?;");
    stmt.bind(1, std::string_view(p.tag));
    stmt.bind(2, std::string_view(p.prefix));
    if (!p.upper.empty()) stmt.bind(3, std::string_view(p.upper));
    // Each page of the packs is read once: a small page cache serves, and its pages are
    // reused instead of the whole range's coming to fresh memory.
    db()->execDML("PRAGMA cache_size = -512;");
    struct CacheSize {
        CppSQLite3DB* db;
        ~CacheSize() {
            try {
                db->execDML(kCacheSize);
            } catch (const CppSQLite3Exception&) {
            }
        }
    } restore{db()};
    CppSQLite3Query q = stmt.execQuery();
    for (; !q.eof(); q.nextRow()) {
        if (!p.packs->add(std::string(q.getStringView(0)), std::string(q.getBlobView(1))))
            return false;
    }
    return true;
}

void QXCacheServer::writePacksLocked() {
    bool any = false;
    for (const Preloaded& p : m_preloaded) any = any || p.fromTable || p.changed;
    if (!any || !db()) return;
    try {
        // Rows another connection committed since the ranges were read may be missing
        // from memory: then the packs stay dropped and the next search reads the table.
        if (db()->execScalar("PRAGMA data_version;") != m_dataVersion) return;
        openBatchTransactionLocked();
        CppSQLite3Statement put = db()->compileStatement(
            "INSERT OR REPLACE INTO quenrix_cache_packs (folder, tag, rows) VALUES(?, ?, ?);");
        CppSQLite3Statement drop = db()->compileStatement(
            "DELETE FROM quenrix_cache_packs WHERE tag = ? AND folder >= ? AND "
            "(? = '' OR folder < ?);");
        CppSQLite3Statement dropCovers = db()->compileStatement(
            "DELETE FROM quenrix_cache_cover WHERE tag = ? AND low >= ? AND "
            "(? = '' OR (high IS NOT NULL AND high <= ?));");
        CppSQLite3Statement addCover = db()->compileStatement(
            "INSERT INTO quenrix_cache_cover (tag, low, high) VALUES(?, ?, ?);");
        for (const Preloaded& p : m_preloaded) {
            if (!p.fromTable && !p.changed) continue;
            // The rows by folder: the stored ones first, so they win over the packs'.
            struct Row {
                std::string_view folder;
                QXCachePacks::Entry entry;
            };
            std::vector<Row> rows;
            rows.reserve(p.rows.size());
            p.rows.forEach(
                [&](std::string_view path, std::string_view content, std::string_view stamp) {
                    const std::string_view folder = QXCachePacks::folderOf(path);
                    rows.push_back({folder, {path.substr(folder.size()), content, stamp}});
                });
            std::stable_sort(rows.begin(), rows.end(),
                             [](const Row& a, const Row& b) { return a.folder < b.folder; });
            if (p.fromTable) {
                drop.bind(1, std::string_view(p.tag));
                drop.bind(2, std::string_view(p.prefix));
                drop.bind(3, std::string_view(p.upper));
                drop.bind(4, std::string_view(p.upper));
                drop.execDML();
            }
            std::vector<QXCachePacks::Entry> entries;
            for (size_t i = 0; i < rows.size();) {
                size_t end = i;
                entries.clear();
                while (end < rows.size() && rows[end].folder == rows[i].folder)
                    entries.push_back(rows[end++].entry);
                if (p.packs) {
                    for (const QXCachePacks::Entry& e : p.packs->rowsOf(rows[i].folder)) {
                        const bool stored =
                            std::any_of(rows.begin() + i, rows.begin() + end,
                                        [&](const Row& r) { return r.entry.name == e.name; });
                        if (!stored) entries.push_back(e);
                    }
                }
                put.bind(1, rows[i].folder);
                put.bind(2, std::string_view(p.tag));
                put.bindBlob(3, QXCachePacks::encode(entries));
                put.execDML();
                i = end;
            }
            dropCovers.bind(1, std::string_view(p.tag));
            dropCovers.bind(2, std::string_view(p.prefix));
            dropCovers.bind(3, std::string_view(p.upper));
            dropCovers.bind(4, std::string_view(p.upper));
            dropCovers.execDML();
            addCover.bind(1, std::string_view(p.tag));
            addCover.bind(2, std::string_view(p.prefix));
            if (p.upper.empty())
                addCover.bindNull(3);
            else
                addCover.bind(3, std::string_view(p.upper));
            addCover.execDML();
        }
    } catch (const CppSQLite3Exception& e) {
        logException(e.errorMessage());
    } catch (const std::bad_alloc&) {
    }
}

QXCacheServer::LookupResult QXCacheServer::lookup(std::string_view path, std::string_view tag) {
    LookupResult result;
    result.found = findRow(path, tag, result.content, result.stamp, result.ok);
    return result;
}

bool QXCacheServer::find(std::string_view path, std::string_view tag, std::string& content,
                         std::string& stamp) {
    bool ran = false;
    return findRow(path, tag, content, stamp, ran);
}

bool QXCacheServer::findRow(std::string_view path, std::string_view tag, std::string& content,
                            std::string& stamp, bool& ran) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    content.clear();
    stamp.clear();
    ran = false;
    try {
        if (const Preloaded* p = preloadedFor(path, tag)) {
            ran = true;
            std::string_view c, s;
            if (!p->rows.get(path, c, s) && !(p->packs && p->packs->get(path, c, s))) return false;
            content.assign(c);
            stamp.assign(s);
            return true;
        }
        if (!db())
            throw CppSQLite3Exception(tovy::support_sqlite::kCppSqliteError, "Database not open");
        // Inside a batch the lookups share the open transaction: outside one every
        // statement takes and drops the file locks, which costs more than the lookup.
        openBatchTransactionLocked();
        if (!m_lookupStmt)
            m_lookupStmt = db()->compileStatement(
                "SELECT content,timestamp FROM quenrix_cache_table WHERE path = ? AND tag = ?;");
        m_lookupStmt->bind(1, path);
        m_lookupStmt->bind(2, tag);
        bool found = false;
        {
            CppSQLite3Query q = m_lookupStmt->execQuery();
            if (!q.eof()) {
                found = true;
                stamp.assign(q.getStringField(q.fieldIndex("timestamp")));
                content.assign(q.getStringField(q.fieldIndex("content")));
            }
        }
        ran = true;
        // A long run of lookups must not keep other instances from writing.
        if (m_inTransaction && std::chrono::steady_clock::now() - m_transactionStart >=
                                   std::chrono::milliseconds(kBatchCommitMs))
            commitLocked();
        return found;
    } catch (const CppSQLite3Exception&) {
    } catch (const std::bad_alloc&) {
    }
    content.clear();
    stamp.clear();
    ran = false;
    return false;
}

void QXCacheServer::findEach(
    std::string_view tag, size_t count, const std::function<std::string_view(size_t)>& pathOf,
    const std::function<void(size_t, std::string_view, std::string_view)>& answer) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    std::string content, stamp;
    const Preloaded* p = nullptr;
    std::string_view folder;
    const QXCachePacks::Pack* folderPack = nullptr;
    for (size_t i = 0; i < count; ++i) {
        const std::string_view path = pathOf(i);
        if (!p || path.substr(0, p->prefix.size()) != p->prefix) {
            p = preloadedFor(path, tag);
            folderPack = nullptr;
        }
        if (!p) {
            if (find(path, tag, content, stamp)) answer(i, content, stamp);
            continue;
        }
        std::string_view c, s;
        if (p->rows.size() > 0 && p->rows.get(path, c, s)) {
            answer(i, c, s);
            continue;
        }
        if (!p->packs) continue;
        const std::string_view dir = QXCachePacks::folderOf(path);
        if (!folderPack || dir != folder) {
            folder = dir;
            folderPack = p->packs->pack(dir);
        }
        if (folderPack && QXCachePacks::find(*folderPack, path.substr(dir.size()), c, s))
            answer(i, c, s);
    }
}

bool QXCacheServer::exists(std::string_view path, std::string_view tag) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    try {
        if (!db())
            throw CppSQLite3Exception(tovy::support_sqlite::kCppSqliteError, "Database not open");
        CppSQLite3Statement st = db()->compileStatement(
            "SELECT COUNT(*) FROM quenrix_cache_table WHERE path = ? AND tag = ?;");
        st.bind(1, path);
        st.bind(2, tag);
        CppSQLite3Query q = st.execQuery();
        return !q.eof() && q.getInt64Field(0) > 0;
    } catch (const CppSQLite3Exception& e) {
        logException(e.errorMessage());
        return false;
    }
}

void QXCacheServer::store(std::string_view path, std::string_view tag, std::string_view content,
                          std::string_view stamp) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    try {
        if (!db())
            throw CppSQLite3Exception(tovy::support_sqlite::kCppSqliteError, "Database not open");
        openBatchTransactionLocked();
        if (!m_updateStmt)
            m_updateStmt = db()->compileStatement(
                "UPDATE quenrix_cache_table SET content = ?, timestamp = ? "
                "WHERE path = ? AND tag = ?;");
        m_updateStmt->bind(1, content);
        m_updateStmt->bind(2, stamp);
        m_updateStmt->bind(3, path);
        m_updateStmt->bind(4, tag);
        // The lock makes the update-or-insert one step for this program, so a key is
        // never inserted twice.
        if (m_updateStmt->execDML() == 0) {
            if (!m_insertStmt)
                m_insertStmt = db()->compileStatement(
                    "INSERT INTO quenrix_cache_table (path, tag, content, timestamp) "
                    "VALUES(?, ?, ?, ?);");
            m_insertStmt->bind(1, path);
            m_insertStmt->bind(2, tag);
            m_insertStmt->bind(3, content);
            m_insertStmt->bind(4, stamp);
            m_insertStmt->execDML();
        }
        if (Preloaded* p = preloadedFor(path, tag)) {
            try {
                p->rows.set(path, content, stamp);
                p->changed = true;
            } catch (const std::bad_alloc&) {
                // Without its copy in memory the lookups go to the database again.
                m_preloaded.erase(m_preloaded.begin() + (p - m_preloaded.data()));
            }
        }
        if (m_inTransaction && (++m_pendingRows >= kBatchCommitRows ||
                                std::chrono::steady_clock::now() - m_transactionStart >=
                                    std::chrono::milliseconds(kBatchCommitMs)))
            commitLocked();
    } catch (const CppSQLite3Exception& e) {
        logException(e.errorMessage());
    }
}

void QXCacheServer::beginBatch() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    ++m_batchDepth;
}

void QXCacheServer::endBatch() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    if (m_batchDepth == 0) return;
    if (--m_batchDepth == 0) {
        writePacksLocked();
        commitLocked();
        m_preloaded.clear();
        m_dataVersion = -1;
    }
}

void QXCacheServer::openBatchTransactionLocked() {
    if (m_batchDepth == 0 || m_inTransaction) return;
    db()->execDML("BEGIN;");
    m_inTransaction = true;
    m_transactionStart = std::chrono::steady_clock::now();
}

void QXCacheServer::commitLocked() {
    if (!m_inTransaction) return;
    m_pendingRows = 0;
    m_inTransaction = false;
    try {
        db()->execDML("COMMIT;");
    } catch (const CppSQLite3Exception& e) {
        logException(e.errorMessage());
        // Leave no transaction open: it would hold the file locked for the other
        // programs. The rows of this batch are lost, which a cache can afford.
        try {
            db()->execDML("ROLLBACK;");
        } catch (const CppSQLite3Exception&) {
        }
    }
}

bool QXCacheServer::clear() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    const std::string path = databasePath();
    if (path.empty()) return false;
    // A connection that will not close keeps its file; deleting it under the connection
    // would leave the store writing into a file nobody can find.
    if (!close()) return false;
    bool removed = ::unlink(path.c_str()) == 0 || errno == ENOENT;
    // A journal left behind would be played back into the new file.
    if (removed) ::unlink((path + "-journal").c_str());
    open();
    return removed;
}

int64_t QXCacheServer::compact() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    std::vector<std::string> gone;
    bool failed = false;
    try {
        if (!db())
            throw CppSQLite3Exception(tovy::support_sqlite::kCppSqliteError, "Database not open");
        commitLocked();
        CppSQLite3Query q = db()->execQuery("SELECT DISTINCT path FROM quenrix_cache_table;");
        for (; !q.eof(); q.nextRow()) {
            std::string path = q.getStringField(0);
            if (pathIsGone(path)) gone.push_back(std::move(path));
        }
    } catch (const CppSQLite3Exception& e) {
        logException(e.errorMessage());
        failed = true;
    }
    int64_t deleted = 0;
    if (gone.empty()) return failed ? -1 : 0;
    try {
        db()->execDML("BEGIN;");
        m_inTransaction = true;
        CppSQLite3Statement st =
            db()->compileStatement("DELETE FROM quenrix_cache_table WHERE path = ?;");
        for (const std::string& path : gone) {
            st.bind(1, std::string_view(path));
            deleted += st.execDML();
        }
        st.finalize();
        commitLocked();
    } catch (const CppSQLite3Exception& e) {
        logException(e.errorMessage());
        commitLocked();
        failed = true;
    }
    return failed ? -1 : deleted;
}

}  // namespace quenrix
