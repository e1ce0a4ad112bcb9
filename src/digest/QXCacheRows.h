// The rows of one cache tag held in memory during a search: (path → content, stamp) for
// tens of thousands of paths. All texts live in one growing buffer and the index is an
// open-addressing table of row numbers, so filling it costs a few large allocations
// instead of four small ones per row, and a lookup hashes the path once and compares it
// where it lies.
//
// Not thread-safe: the cache store uses it under its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quenrix {

class QXCacheRows {
public:
    // Adds the row, or replaces the one of the same path. Throws std::bad_alloc.
    void set(std::string_view path, std::string_view content, std::string_view stamp);
    // The row of the path; false when there is none. The views stay valid until the next
    // set.
    bool get(std::string_view path, std::string_view& content, std::string_view& stamp) const;
    size_t size() const { return m_rows.size(); }
    // Calls f(path, content, stamp) for every row, in the order the rows were added.
    template <class F>
    void forEach(F&& f) const {
        const std::string_view text(m_text);
        for (const Row& row : m_rows) {
            f(text.substr(row.offset, row.pathLength),
              text.substr(row.offset + row.pathLength, row.contentLength),
              text.substr(row.offset + row.pathLength + row.contentLength, row.stampLength));
        }
    }

private:
    struct Row {
        uint64_t hash;
        uint64_t offset;  // path, content and stamp follow each other in m_text
        uint32_t pathLength;
        uint32_t contentLength;
        uint32_t stampLength;
    };
    static constexpr uint32_t kEmpty = UINT32_MAX;

    std::string_view pathOf(const Row& row) const {
        return std::string_view(m_text).substr(row.offset, row.pathLength);
    }
    // The slot holding the path's row, or the empty slot where it would go.
    size_t slotFor(std::string_view path, uint64_t hash) const;
    void grow();

    std::string m_text;
    std::vector<Row> m_rows;
    std::vector<uint32_t> m_slots;  // row numbers; size a power of two, at most half full
};

}  // namespace quenrix
