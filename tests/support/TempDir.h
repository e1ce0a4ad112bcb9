// A fresh temporary folder for one test, removed with everything inside when the
// object goes away (read-only entries included).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quenrix::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Absolute path, without a trailing slash.
    const std::string& path() const { return m_path; }
    std::string operator/(std::string_view rel) const { return m_path + "/" + std::string(rel); }

    // Creates the file (and its folders) with the given bytes; returns its path.
    // mtimeSeconds, when not 0, sets the last-write time (seconds since 1970).
    std::string createFile(std::string_view rel, std::string_view data = {},
                           int64_t mtimeSeconds = 0) const;
    // Creates the folder and its parents; returns its path.
    std::string createDir(std::string_view rel) const;

private:
    std::string m_path;
};

// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::string& path);
bool pathExists(const std::string& path);

}  // namespace quenrix::test
