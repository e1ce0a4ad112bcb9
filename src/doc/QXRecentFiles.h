// The recently used settings documents shown at the end of the File menu, most recent
// first, eight at most. Kept in the settings file, section "Recent File List", keys
// "File1" to "File8". Paths are native bytes; one that holds a line break is never
// taken (it could not be stored as one profile line). User-interface thread only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quenrix {

class QXAppSettings;

class QXRecentFiles {
public:
    static constexpr size_t kLimit = 8;
    static constexpr const char* kSection = "Recent File List";

    const std::vector<std::string>& entries() const { return m_entries; }

    // Puts path first, dropping an earlier entry of the same path and the oldest one
    // beyond the limit. false (nothing changes) for an empty path or one with a line break.
    bool add(const std::string& path);
    // Drops the entry of path; false when there is none.
    bool remove(const std::string& path);

    // Reads File1 to File8, skipping empty values, repeats and values with a line break.
    void load(const QXAppSettings& settings);
    // Writes File1 to File8; keys beyond the list are written empty.
    bool save(const QXAppSettings& settings) const;

private:
    std::vector<std::string> m_entries;
};

}  // namespace quenrix
