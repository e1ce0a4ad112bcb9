// A thin wrapper over the SQLite C interface: a connection (CppSQLite3DB), a prepared
// statement with bound values (CppSQLite3Statement) and the rows of a query
// (CppSQLite3Query). Failures throw CppSQLite3Exception; the wrapper is meant to be used
// inside one module that catches them, never across a module boundary.
//
// Texts go in and out as UTF-8 bytes (on this system a path is bytes; a name that is not
// valid UTF-8 is stored and compared byte for byte all the same).
//
// Not thread-safe: a connection and everything made from it belong to one user at a
// time; the owner serialises access.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tovy::support_sqlite {

// Errors of the wrapper itself.
constexpr int kCppSqliteError = 1000;

class CppSQLite3Exception {
public:
    // The message is "NAME[code]: text", text being SQLite's message or empty.
    CppSQLite3Exception(int code, const char* message);

    int errorCode() const { return m_code; }
    const std::string& errorMessage() const { return m_message; }

    // "SQLITE_BUSY" for 5, "CPPSQLITE_ERROR" for 1000, "UNKNOWN_ERROR" otherwise.
    static const char* errorCodeAsString(int code);

private:
    int32_t m_code;
    std::string m_message;
};

// The rows of one statement, positioned on the first row (or at the end). Finalises the
// statement when destroyed if it owns it; a statement owned by a CppSQLite3Statement is
// reset instead.
class CppSQLite3Query {
public:
    CppSQLite3Query() = default;
    CppSQLite3Query(sqlite3* db, sqlite3_stmt* stmt, bool eof, bool ownStmt);
    ~CppSQLite3Query();
    CppSQLite3Query(CppSQLite3Query&& other) noexcept;
    CppSQLite3Query& operator=(CppSQLite3Query&& other) noexcept;
    CppSQLite3Query(const CppSQLite3Query&) = delete;
    CppSQLite3Query& operator=(const CppSQLite3Query&) = delete;

    int numFields() const;
    // Exact, case-sensitive match of the column names; throws when absent.
    int fieldIndex(std::string_view name) const;
    // SQLITE_INTEGER, SQLITE_TEXT, SQLITE_NULL...
    int fieldDataType(int field) const;
    // A NULL column reads as the empty text.
    std::string getStringField(int field) const;
    // The same without a copy; valid until the query moves on or goes away.
    std::string_view getStringView(int field) const;
    // A blob (or text) column's bytes without a copy; valid as getStringView's.
    std::string_view getBlobView(int field) const;
    int64_t getInt64Field(int field) const;

    bool eof() const;
    void nextRow();
    void finalize();

private:
    void checkStmt() const;
    void checkField(int field) const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_eof = true;
    int m_cols = 0;
    bool m_ownStmt = false;
};

// A prepared statement; values are bound by 1-based index, never pasted into the text.
class CppSQLite3Statement {
public:
    CppSQLite3Statement() = default;
    CppSQLite3Statement(sqlite3* db, sqlite3_stmt* stmt);
    ~CppSQLite3Statement();
    CppSQLite3Statement(CppSQLite3Statement&& other) noexcept;
    CppSQLite3Statement& operator=(CppSQLite3Statement&& other) noexcept;
    CppSQLite3Statement(const CppSQLite3Statement&) = delete;
    CppSQLite3Statement& operator=(const CppSQLite3Statement&) = delete;

    void bind(int param, std::string_view text);
    void bind(int param, int64_t value);
    void bindBlob(int param, std::string_view bytes);
    void bindNull(int param);
    // Runs a statement without rows; returns the number of changed rows. Resets the
    // statement and clears its bindings afterwards.
    int execDML();
    // Runs a statement with rows; the query resets this statement when it goes away, so
    // the statement must outlive the query.
    CppSQLite3Query execQuery();
    void reset();
    void finalize();

private:
    void checkStmt() const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
};

class CppSQLite3DB {
public:
    static constexpr int kDefaultBusyTimeoutMs = 60000;

    CppSQLite3DB() = default;
    ~CppSQLite3DB();
    CppSQLite3DB(const CppSQLite3DB&) = delete;
    CppSQLite3DB& operator=(const CppSQLite3DB&) = delete;

    // Opens (creating when missing) the database file and sets the busy time-out.
    void open(const std::string& path);
    // Throws when SQLite refuses (a statement still unfinalised).
    void close();
    bool isOpen() const { return m_db != nullptr; }

    // Each statement waits up to this long for a lock held by another connection.
    void setBusyTimeout(int ms);
    int busyTimeout() const { return m_busyTimeoutMs; }

    // A statement (or several, separated by ";") without rows; returns changed rows.
    int execDML(const std::string& sql);
    CppSQLite3Query execQuery(const std::string& sql);
    // The first column of the first row as an integer; throws "Invalid scalar query"
    // when there is none.
    int64_t execScalar(const std::string& sql);
    CppSQLite3Statement compileStatement(const std::string& sql);

    bool tableExists(const std::string& table);

    sqlite3* handle() const { return m_db; }

private:
    void checkDB() const;
    sqlite3_stmt* compile(const std::string& sql);

    sqlite3* m_db = nullptr;
    int m_busyTimeoutMs = kDefaultBusyTimeoutMs;
};

}  // namespace tovy::support_sqlite
