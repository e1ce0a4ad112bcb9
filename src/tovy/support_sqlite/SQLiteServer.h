// The small base of a program-wide database: one connection to one SQLite file, opened
// once and kept until Close. Derived classes name the file (open) and make their tables
// (createTables). Exceptions of the wrapper stay inside: every operation here reports
// with a bool.
//
// Not thread-safe by itself; a derived class that is used from several threads guards
// every use of the connection with its own lock.
#pragma once

#include <memory>
#include <string>

#include "tovy/support_sqlite/CppSQLite3.h"

namespace tovy::support_sqlite {

class SQLiteServer {
public:
    SQLiteServer() = default;
    virtual ~SQLiteServer();
    SQLiteServer(const SQLiteServer&) = delete;
    SQLiteServer& operator=(const SQLiteServer&) = delete;

    // The base has no file to open.
    virtual bool open() { return false; }
    // True when closed (or never open); false when SQLite refuses, the server then stays
    // open.
    virtual bool close();
    virtual void createTables() {}

    // Opens the file at path, creating it and its tables when it does not exist yet.
    // True when open (also when it already was).
    bool openFile(const std::string& path);
    bool isOpen() const { return m_open; }

    // The busy time-out of the connection from now on (60000 ms unless set).
    void setBusyTimeout(int ms);

protected:
    // Null until opened.
    CppSQLite3DB* db() const { return m_db.get(); }

private:
    std::unique_ptr<CppSQLite3DB> m_db;
    bool m_open = false;
    int m_busyTimeoutMs = CppSQLite3DB::kDefaultBusyTimeoutMs;
};

}  // namespace tovy::support_sqlite
