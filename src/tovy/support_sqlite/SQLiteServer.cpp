#include "tovy/support_sqlite/SQLiteServer.h"

#include <new>

namespace tovy::support_sqlite {

SQLiteServer::~SQLiteServer() = default;

bool SQLiteServer::openFile(const std::string& path) {
    if (m_open) return true;
    try {
        auto db = std::make_unique<CppSQLite3DB>();
        db->setBusyTimeout(m_busyTimeoutMs);
        db->open(path);
        m_db = std::move(db);
        // Opening creates a missing file. createTables makes what is missing, so a new
        // file and one left without its table (a crash right after creating it) both get
        // their tables, and an older file gets what later versions added.
        createTables();
        m_open = true;
        return true;
    } catch (const CppSQLite3Exception&) {
    } catch (const std::bad_alloc&) {
    }
    m_db.reset();
    return false;
}

bool SQLiteServer::close() {
    if (!m_open) return true;
    try {
        if (m_db) m_db->close();
    } catch (const CppSQLite3Exception&) {
        return false;
    }
    m_db.reset();
    m_open = false;
    return true;
}

void SQLiteServer::setBusyTimeout(int ms) {
    m_busyTimeoutMs = ms;
    if (m_db) m_db->setBusyTimeout(ms);
}

}  // namespace tovy::support_sqlite
