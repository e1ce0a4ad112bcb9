#include "digest/QXCachePacks.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace quenrix {

namespace {

constexpr std::string_view kMagic = "QXP1";

void putLength(std::string& out, size_t n) {
    while (n >= 0x80) {
        out.push_back(char(uint8_t(n) | 0x80));
        n >>= 7;
    }
    out.push_back(char(uint8_t(n)));
}

// Reads one LEB128 length and that many bytes after it; false past the end or for a
// length beyond 32 bits.
bool takeField(std::string_view blob, size_t& at, std::string_view& field) {
    uint64_t n = 0;
    for (int shift = 0;; shift += 7) {
        if (at >= blob.size() || shift > 28) return false;
        const uint8_t b = uint8_t(blob[at++]);
        n |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80)) break;
    }
    if (n > blob.size() - at) return false;
    field = blob.substr(at, size_t(n));
    at += size_t(n);
    return true;
}

}  // namespace

std::string_view QXCachePacks::folderOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

std::string QXCachePacks::encode(std::vector<Entry>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });
    size_t bytes = kMagic.size();
    for (const Entry& e : entries) bytes += e.name.size() + e.content.size() + e.stamp.size() + 15;
    std::string out;
    out.reserve(bytes);
    out.append(kMagic);
    for (const Entry& e : entries) {
        putLength(out, e.name.size());
        out.append(e.name);
        putLength(out, e.content.size());
        out.append(e.content);
        putLength(out, e.stamp.size());
        out.append(e.stamp);
    }
    return out;
}

bool QXCachePacks::decode(std::string_view blob, std::vector<Entry>& out) {
    out.clear();
    if (blob.substr(0, kMagic.size()) != kMagic) return false;
    size_t at = kMagic.size();
    while (at < blob.size()) {
        Entry e;
        if (!takeField(blob, at, e.name) || !takeField(blob, at, e.content) ||
            !takeField(blob, at, e.stamp))
            return false;
        if (!out.empty() && !(out.back().name < e.name)) return false;
        out.push_back(e);
    }
    return true;
}

bool QXCachePacks::add(std::string folder, std::string blob) {
    // A pack replaced under the index would leave it pointing at freed rows.
    m_refs.clear();
    m_slots.clear();
    Pack pack;
    pack.blob = std::move(blob);
    // The views point into the pack's own string, which moves without reallocating.
    if (!decode(pack.blob, pack.rows)) return false;
    const std::string_view before = pack.blob;
    auto [it, inserted] = m_packs.insert_or_assign(std::move(folder), std::move(pack));
    if (std::string_view(it->second.blob).data() != before.data()) {
        // A short blob lived inside the string object itself: decode it where it is now.
        decode(it->second.blob, it->second.rows);
    }
    return true;
}

uint64_t QXCachePacks::hashOf(uint64_t folderHash, std::string_view name) {
    return (folderHash * 0x9E3779B97F4A7C15ull) ^ std::hash<std::string_view>{}(name);
}

void QXCachePacks::buildIndex() {
    size_t rows = 0;
    for (const auto& [folder, pack] : m_packs) rows += pack.rows.size();
    if (rows >= kEmpty / 4) throw std::bad_alloc();
    size_t slots = 1024;
    while (slots < rows * 2) slots *= 2;
    std::vector<Ref> refs;
    refs.reserve(rows);
    std::vector<uint32_t> table(slots, kEmpty);
    const size_t mask = slots - 1;
    for (const auto& [folder, pack] : m_packs) {
        const uint64_t folderHash = std::hash<std::string_view>{}(folder);
        for (const Entry& e : pack.rows) {
            const uint64_t h = hashOf(folderHash, e.name);
            size_t i = size_t(h) & mask;
            while (table[i] != kEmpty) i = (i + 1) & mask;
            table[i] = uint32_t(refs.size());
            refs.push_back({h, &folder, &e});
        }
    }
    m_refs.swap(refs);
    m_slots.swap(table);
}

const std::vector<QXCachePacks::Entry>* QXCachePacks::rowsOf(std::string_view folder) const {
    auto it = m_packs.find(folder);
    return it == m_packs.end() ? nullptr : &it->second.rows;
}

bool QXCachePacks::get(std::string_view path, std::string_view& content,
                       std::string_view& stamp) const {
    const std::string_view folder = folderOf(path);
    if (!m_slots.empty()) {
        const std::string_view name = path.substr(folder.size());
        const uint64_t h = hashOf(std::hash<std::string_view>{}(folder), name);
        const size_t mask = m_slots.size() - 1;
        for (size_t i = size_t(h) & mask; m_slots[i] != kEmpty; i = (i + 1) & mask) {
            const Ref& r = m_refs[m_slots[i]];
            if (r.hash == h && r.entry->name == name && *r.folder == folder) {
                content = r.entry->content;
                stamp = r.entry->stamp;
                return true;
            }
        }
        return false;
    }
    const std::vector<Entry>* rows = rowsOf(folder);
    if (!rows) return false;
    const std::string_view name = path.substr(folder.size());
    auto it = std::lower_bound(rows->begin(), rows->end(), name,
                               [](const Entry& e, std::string_view n) { return e.name < n; });
    if (it == rows->end() || it->name != name) return false;
    content = it->content;
    stamp = it->stamp;
    return true;
}

}  // namespace quenrix
