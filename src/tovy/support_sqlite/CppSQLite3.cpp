#include "tovy/support_sqlite/CppSQLite3.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <utility>

namespace tovy::support_sqlite {

namespace {

[[noreturn]] void throwDb(sqlite3* db, int code) {
    throw CppSQLite3Exception(code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

[[noreturn]] void throwWrapper(const char* message) {
    throw CppSQLite3Exception(kCppSqliteError, message);
}

}  // namespace

CppSQLite3Exception::CppSQLite3Exception(int code, const char* message) : m_code(code) {
    const char* name = errorCodeAsString(code);
    const char* text = message ? message : "";
    int n = std::snprintf(nullptr, 0, "%s[%d]: %s", name, code, text);
    if (n > 0) {
        m_message.resize(size_t(n) + 1);
        std::snprintf(m_message.data(), m_message.size(), "%s[%d]: %s", name, code, text);
        m_message.resize(size_t(n));
    }
}

const char* CppSQLite3Exception::errorCodeAsString(int code) {
    switch (code) {
        case SQLITE_OK:
            return "SQLITE_OK";
        case SQLITE_ERROR:
            return "SQLITE_ERROR";
        case SQLITE_INTERNAL:
            return "SQLITE_INTERNAL";
        case SQLITE_PERM:
            return "SQLITE_PERM";
        case SQLITE_ABORT:
            return "SQLITE_ABORT";
        case SQLITE_BUSY:
            return "SQLITE_BUSY";
        case SQLITE_LOCKED:
            return "SQLITE_LOCKED";
        case SQLITE_NOMEM:
            return "SQLITE_NOMEM";
        case SQLITE_READONLY:
            return "SQLITE_READONLY";
        case SQLITE_INTERRUPT:
            return "SQLITE_INTERRUPT";
        case SQLITE_IOERR:
            return "SQLITE_IOERR";
        case SQLITE_CORRUPT:
            return "SQLITE_CORRUPT";
        case SQLITE_NOTFOUND:
            return "SQLITE_NOTFOUND";
        case SQLITE_FULL:
            return "SQLITE_FULL";
        case SQLITE_CANTOPEN:
            return "SQLITE_CANTOPEN";
        case SQLITE_PROTOCOL:
            return "SQLITE_PROTOCOL";
        case SQLITE_EMPTY:
            return "SQLITE_EMPTY";
        case SQLITE_SCHEMA:
            return "SQLITE_SCHEMA";
        case SQLITE_TOOBIG:
            return "SQLITE_TOOBIG";
        case SQLITE_CONSTRAINT:
            return "SQLITE_CONSTRAINT";
        case SQLITE_MISMATCH:
            return "SQLITE_MISMATCH";
        case SQLITE_MISUSE:
            return "SQLITE_MISUSE";
        case SQLITE_NOLFS:
            return "SQLITE_NOLFS";
        case SQLITE_AUTH:
            return "SQLITE_AUTH";
        case SQLITE_FORMAT:
            return "SQLITE_FORMAT";
        case SQLITE_RANGE:
            return "SQLITE_RANGE";
        case SQLITE_ROW:
            return "SQLITE_ROW";
        case SQLITE_DONE:
            return "SQLITE_DONE";
        case kCppSqliteError:
            return "CPPSQLITE_ERROR";
        default:
            return "UNKNOWN_ERROR";
    }
}

// --- CppSQLite3Query ---

CppSQLite3Query::CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool eof, bool ownStmt)
    : m_db(db),
      m_stmt(stmt),
      m_eof(eof),
      m_cols(stmt ? sqlite3_column_count(stmt) : 0),
      m_ownStmt(ownStmt) {}

CppSQLite3Query::~CppSQLite3Query() {
    try {
        finalize();
    } catch (...) {
    }
}

CppSQLite3Query::CppSQLite3Query(CppSQLite3Query&& other) noexcept
    : m_db(other.m_db),
      m_stmt(std::exchange(other.m_stmt, nullptr)),
      m_eof(other.m_eof),
      m_cols(other.m_cols),
      m_ownStmt(other.m_ownStmt) {}

CppSQLite3Query& CppSQLite3Query::operator=(CppSQLite3Query&& other) noexcept {
    if (this != &other) {
        try {
            finalize();
        } catch (...) {
        }
        m_db = other.m_db;
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_eof = other.m_eof;
        m_cols = other.m_cols;
        m_ownStmt = other.m_ownStmt;
    }
    return *this;
}

void CppSQLite3Query::checkStmt() const {
    if (!m_stmt) throwWrapper("Null Virtual Machine pointer");
}

void CppSQLite3Query::checkField(int field) const {
    checkStmt();
    if (field < 0 || field >= m_cols) throwWrapper("Invalid field index requested");
}

int CppSQLite3Query::numFields() const {
    checkStmt();
    return m_cols;
}

int CppSQLite3Query::fieldIndex(std::string_view name) const {
    checkStmt();
    for (int i = 0; i < m_cols; ++i) {
        const char* col = sqlite3_column_name(m_stmt, i);
        if (col && name == col) return i;
    }
    throwWrapper("Invalid field name requested");
}

int CppSQLite3Query::fieldDataType(int field) const {
    checkField(field);
    return sqlite3_column_type(m_stmt, field);
}

std::string CppSQLite3Query::getStringField(int field) const {
    checkField(field);
    if (sqlite3_column_type(m_stmt, field) == SQLITE_NULL) return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, field));
    const int bytes = sqlite3_column_bytes(m_stmt, field);
    return text ? std::string(text, size_t(bytes)) : std::string();
}

std::string_view CppSQLite3Query::getStringView(int field) const {
    checkField(field);
    if (sqlite3_column_type(m_stmt, field) == SQLITE_NULL) return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, field));
    const int bytes = sqlite3_column_bytes(m_stmt, field);
    return text ? std::string_view(text, size_t(bytes)) : std::string_view();
}

std::string_view CppSQLite3Query::getBlobView(int field) const {
    checkField(field);
    if (sqlite3_column_type(m_stmt, field) == SQLITE_NULL) return {};
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_stmt, field));
    const int size = sqlite3_column_bytes(m_stmt, field);
    return bytes ? std::string_view(bytes, size_t(size)) : std::string_view();
}

int64_t CppSQLite3Query::getInt64Field(int field) const {
    checkField(field);
    return sqlite3_column_int64(m_stmt, field);
}

bool CppSQLite3Query::eof() const {
    checkStmt();
    return m_eof;
}

void CppSQLite3Query::nextRow() {
    checkStmt();
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE) {
        m_eof = true;
    } else if (rc != SQLITE_ROW) {
        m_eof = true;
        throwDb(m_db, rc);
    }
}

void CppSQLite3Query::finalize() {
    if (!m_stmt) return;
    sqlite3_stmt* stmt = std::exchange(m_stmt, nullptr);
    if (m_ownStmt) {
        const int rc = sqlite3_finalize(stmt);
        if (rc != SQLITE_OK) throwDb(m_db, rc);
    } else {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
}

// --- CppSQLite3Statement ---

CppSQLite3Statement::CppSQLite3Statement(sqlite3* db, sqlite3_stmt* stmt)
    : m_db(db), m_stmt(stmt) {}

CppSQLite3Statement::~CppSQLite3Statement() {
    try {
        finalize();
    } catch (...) {
    }
}

CppSQLite3Statement::CppSQLite3Statement(CppSQLite3Statement&& other) noexcept
    : m_db(other.m_db), m_stmt(std::exchange(other.m_stmt, nullptr)) {}

CppSQLite3Statement& CppSQLite3Statement::operator=(CppSQLite3Statement&& other) noexcept {
    if (this != &other) {
        try {
            finalize();
        } catch (...) {
        }
        m_db = other.m_db;
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

void CppSQLite3Statement::checkStmt() const {
    if (!m_stmt) throwWrapper("Null Virtual Machine pointer");
}

void CppSQLite3Statement::bind(int param, std::string_view text) {
    checkStmt();
    // An empty view may carry a null pointer, which SQLite would bind as NULL.
    const int rc = sqlite3_bind_text64(m_stmt, param, text.empty() ? "" : text.data(), text.size(),
                                       SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK) throwDb(m_db, rc);
}

void CppSQLite3Statement::bindBlob(int param, std::string_view bytes) {
    checkStmt();
    const int rc = sqlite3_bind_blob64(m_stmt, param, bytes.empty() ? "" : bytes.data(),
                                       bytes.size(), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) throwDb(m_db, rc);
}

void CppSQLite3Statement::bindNull(int param) {
    checkStmt();
    const int rc = sqlite3_bind_null(m_stmt, param);
    if (rc != SQLITE_OK) throwDb(m_db, rc);
}

void CppSQLite3Statement::bind(int param, int64_t value) {
    checkStmt();
    const int rc = sqlite3_bind_int64(m_stmt, param, value);
    if (rc != SQLITE_OK) throwDb(m_db, rc);
}

int CppSQLite3Statement::execDML() {
    checkStmt();
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE || rc == SQLITE_ROW) {
        const int changes = sqlite3_changes(m_db);
        reset();
        return changes;
    }
    // The message belongs to the connection until the next call; take it first.
    CppSQLite3Exception error(sqlite3_errcode(m_db), sqlite3_errmsg(m_db));
    reset();
    throw error;
}

CppSQLite3Query CppSQLite3Statement::execQuery() {
    checkStmt();
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_DONE) return CppSQLite3Query(m_db, m_stmt, true, false);
    if (rc == SQLITE_ROW) return CppSQLite3Query(m_db, m_stmt, false, false);
    CppSQLite3Exception error(sqlite3_errcode(m_db), sqlite3_errmsg(m_db));
    reset();
    throw error;
}

void CppSQLite3Statement::reset() {
    if (!m_stmt) return;
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void CppSQLite3Statement::finalize() {
    if (!m_stmt) return;
    const int rc = sqlite3_finalize(std::exchange(m_stmt, nullptr));
    if (rc != SQLITE_OK) throwDb(m_db, rc);
}

// --- CppSQLite3DB ---

CppSQLite3DB::~CppSQLite3DB() {
    if (m_db) sqlite3_close_v2(m_db);
}

void CppSQLite3DB::open(const std::string& path) {
    if (m_db) close();
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        CppSQLite3Exception error(rc, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        throw error;
    }
    m_db = db;
    setBusyTimeout(m_busyTimeoutMs);
}

void CppSQLite3DB::close() {
    if (!m_db) return;
    const int rc = sqlite3_close(m_db);
    if (rc != SQLITE_OK) throwDb(m_db, rc);
    m_db = nullptr;
}

void CppSQLite3DB::setBusyTimeout(int ms) {
    m_busyTimeoutMs = ms;
    if (m_db) sqlite3_busy_timeout(m_db, ms);
}

void CppSQLite3DB::checkDB() const {
    if (!m_db) throwWrapper("Database not open");
}

sqlite3_stmt* CppSQLite3DB::compile(const std::string& sql) {
    checkDB();
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, sql.c_str(), int(sql.size()), &stmt, nullptr);
    if (rc != SQLITE_OK) throwDb(m_db, rc);
    return stmt;
}

int CppSQLite3DB::execDML(const std::string& sql) {
    checkDB();
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        CppSQLite3Exception error(rc, message ? message : sqlite3_errmsg(m_db));
        sqlite3_free(message);
        throw error;
    }
    return sqlite3_changes(m_db);
}

CppSQLite3Query CppSQLite3DB::execQuery(const std::string& sql) {
    sqlite3_stmt* stmt = compile(sql);
    if (!stmt) throwWrapper("Null Virtual Machine pointer");  // only a comment or blanks
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_DONE) return CppSQLite3Query(m_db, stmt, true, true);
    if (rc == SQLITE_ROW) return CppSQLite3Query(m_db, stmt, false, true);
    CppSQLite3Exception error(sqlite3_errcode(m_db), sqlite3_errmsg(m_db));
    sqlite3_finalize(stmt);
    throw error;
}

int64_t CppSQLite3DB::execScalar(const std::string& sql) {
    CppSQLite3Query q = execQuery(sql);
    if (q.eof() || q.numFields() < 1) throwWrapper("Invalid scalar query");
    return q.getInt64Field(0);
}

CppSQLite3Statement CppSQLite3DB::compileStatement(const std::string& sql) {
    sqlite3_stmt* stmt = compile(sql);
    if (!stmt) throwWrapper("Null Virtual Machine pointer");
    return CppSQLite3Statement(m_db, stmt);
}

bool CppSQLite3DB::tableExists(const std::string& table) {
    CppSQLite3Statement st =
        compileStatement("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ?;");
    st.bind(1, std::string_view(table));
    CppSQLite3Query q = st.execQuery();
    return !q.eof() && q.getInt64Field(0) > 0;
}

}  // namespace tovy::support_sqlite
