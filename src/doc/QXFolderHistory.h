// The most recently used target folders (newest first, at most kLimit). User-interface
// thread only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quenrix {

class QXFolderHistory {
public:
    static constexpr size_t kLimit = 10;

    // After a search: an equal entry (exact comparison) moves to the front, otherwise the
    // path is added at the front; the oldest beyond the limit is dropped.
    void enter(const std::string& path);
    // While loading the stored list in order: an equal entry moves to the back, otherwise
    // the path is added at the back (when there is room). Empty paths are skipped.
    void loadAppend(const std::string& path);
    void clear() { m_entries.clear(); }

    const std::vector<std::string>& entries() const { return m_entries; }

private:
    std::vector<std::string> m_entries;
};

}  // namespace quenrix
