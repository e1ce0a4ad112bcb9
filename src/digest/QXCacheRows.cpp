#include "digest/QXCacheRows.h"

#include <functional>
#include <new>

namespace quenrix {

size_t QXCacheRows::slotFor(std::string_view path, uint64_t hash) const {
    const size_t mask = m_slots.size() - 1;
    for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
        const uint32_t r = m_slots[i];
        if (r == kEmpty) return i;
        const Row& row = m_rows[r];
        if (row.hash == hash && pathOf(row) == path) return i;
    }
}

void QXCacheRows::grow() {
    std::vector<uint32_t> slots(m_slots.empty() ? 1024 : m_slots.size() * 2, kEmpty);
    const size_t mask = slots.size() - 1;
    for (uint32_t r = 0; r < m_rows.size(); ++r) {
        size_t i = size_t(m_rows[r].hash) & mask;
        while (slots[i] != kEmpty) i = (i + 1) & mask;
        slots[i] = r;
    }
    m_slots.swap(slots);
}

void QXCacheRows::set(std::string_view path, std::string_view content, std::string_view stamp) {
    if (path.size() >= UINT32_MAX || content.size() >= UINT32_MAX || stamp.size() >= UINT32_MAX ||
        m_rows.size() >= kEmpty - 1)
        throw std::bad_alloc();
    if ((m_rows.size() + 1) * 2 > m_slots.size()) grow();
    const uint64_t hash = std::hash<std::string_view>{}(path);
    const size_t slot = slotFor(path, hash);
    Row row{hash, m_text.size(), uint32_t(path.size()), uint32_t(content.size()),
            uint32_t(stamp.size())};
    m_text.append(path).append(content).append(stamp);
    if (m_slots[slot] != kEmpty) {
        // A replaced row's old texts stay in the buffer unused; replacing is rare.
        m_rows[m_slots[slot]] = row;
        return;
    }
    try {
        m_rows.push_back(row);
    } catch (...) {
        m_text.resize(row.offset);
        throw;
    }
    m_slots[slot] = uint32_t(m_rows.size() - 1);
}

bool QXCacheRows::get(std::string_view path, std::string_view& content,
                      std::string_view& stamp) const {
    if (m_slots.empty()) return false;
    const uint32_t r = m_slots[slotFor(path, std::hash<std::string_view>{}(path))];
    if (r == kEmpty) return false;
    const Row& row = m_rows[r];
    const std::string_view text(m_text);
    content = text.substr(row.offset + row.pathLength, row.contentLength);
    stamp = text.substr(row.offset + row.pathLength + row.contentLength, row.stampLength);
    return true;
}

}  // namespace quenrix
