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

template <class F>
bool QXCachePacks::parse(std::string_view blob, F&& row) {
    if (blob.substr(0, kMagic.size()) != kMagic) return false;
    // Offsets are kept in 32 bits.
    if (blob.size() > UINT32_MAX) return false;
    size_t at = kMagic.size();
    std::string_view last;
    bool first = true;
    while (at < blob.size()) {
        const size_t start = at;
        Entry e;
        if (!takeField(blob, at, e.name) || !takeField(blob, at, e.content) ||
            !takeField(blob, at, e.stamp))
            return false;
        if (!first && !(last < e.name)) return false;
        first = false;
        last = e.name;
        row(uint32_t(start), e);
    }
    return true;
}

bool QXCachePacks::decode(std::string_view blob, std::vector<Entry>& out) {
    out.clear();
    return parse(blob, [&](uint32_t, const Entry& e) { out.push_back(e); });
}

QXCachePacks::Entry QXCachePacks::entryAt(std::string_view blob, uint32_t offset) {
    // The blob was checked when it was added.
    size_t at = offset;
    Entry e;
    takeField(blob, at, e.name);
    takeField(blob, at, e.content);
    takeField(blob, at, e.stamp);
    return e;
}

bool QXCachePacks::add(std::string folder, std::string blob) {
    Pack pack;
    if (!parse(blob, [&](uint32_t offset, const Entry&) { pack.rows.push_back(offset); }))
        return false;
    pack.blob = std::move(blob);
    m_packs.insert_or_assign(std::move(folder), std::move(pack));
    return true;
}

const QXCachePacks::Pack* QXCachePacks::pack(std::string_view folder) const {
    auto it = m_packs.find(folder);
    return it == m_packs.end() ? nullptr : &it->second;
}

bool QXCachePacks::find(const Pack& pack, std::string_view name, std::string_view& content,
                        std::string_view& stamp) {
    const std::string_view blob = pack.blob;
    size_t low = 0, high = pack.rows.size();
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        // Only the name is read until it matches.
        size_t at = pack.rows[mid];
        std::string_view rowName;
        takeField(blob, at, rowName);
        const int order = rowName.compare(name);
        if (order < 0) {
            low = mid + 1;
        } else if (order > 0) {
            high = mid;
        } else {
            takeField(blob, at, content);
            takeField(blob, at, stamp);
            return true;
        }
    }
    return false;
}

std::vector<QXCachePacks::Entry> QXCachePacks::rowsOf(std::string_view folder) const {
    std::vector<Entry> out;
    if (const Pack* p = pack(folder)) {
        out.reserve(p->rows.size());
        for (uint32_t offset : p->rows) out.push_back(entryAt(p->blob, offset));
    }
    return out;
}

bool QXCachePacks::get(std::string_view path, std::string_view& content,
                       std::string_view& stamp) const {
    const std::string_view folder = folderOf(path);
    const Pack* p = pack(folder);
    return p && find(*p, path.substr(folder.size()), content, stamp);
}

}  // namespace quenrix
