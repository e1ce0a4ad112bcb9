// Packed copies of the cache rows, one per folder and tag: the rows of quenrix_cache_table
// whose paths lie directly in that folder, as one blob. A search reads a few hundred
// blobs instead of tens of thousands of rows, and a lookup finds its folder's pack by
// hash and its name by binary search in the pack.
//
// After the last add(), buildIndex() makes one hash table over the rows of every pack,
// so a lookup costs one probe rather than a walk through a folder's sorted names.
//
// The blob: the magic "QXP1", then per row, sorted by name (bytewise), three lengths as
// LEB128 numbers each followed by its bytes: the name (the path after the folder), the
// content, the stamp. Any other byte sequence is refused by decode().
//
// Not thread-safe: the cache store uses it under its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quenrix {

class QXCachePacks {
public:
    struct Entry {
        std::string_view name;
        std::string_view content;
        std::string_view stamp;
    };

    // The folder part of a path: up to and including its last '/' ("" without one).
    static std::string_view folderOf(std::string_view path);
    // The blob of these rows; sorts them by name. Names must be distinct.
    static std::string encode(std::vector<Entry>& entries);
    // The rows of a blob, sorted by name, viewing into it; false for a malformed blob
    // (bad magic, a length past the end, names out of order or repeated).
    static bool decode(std::string_view blob, std::vector<Entry>& out);

    // Keeps a folder's blob; false (and nothing kept) when it is malformed.
    bool add(std::string folder, std::string blob);
    // Indexes every row added so far; get() uses the index until the next add(). Throws
    // std::bad_alloc.
    void buildIndex();
    // The row of a path; false when its folder has no pack or the pack no such name.
    bool get(std::string_view path, std::string_view& content, std::string_view& stamp) const;
    // The decoded rows of a folder's pack; null when there is none.
    const std::vector<Entry>* rowsOf(std::string_view folder) const;
    size_t folders() const { return m_packs.size(); }

private:
    struct Pack {
        std::string blob;
        std::vector<Entry> rows;
    };
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    struct Ref {
        uint64_t hash;
        const std::string* folder;
        const Entry* entry;
    };
    static constexpr uint32_t kEmpty = UINT32_MAX;
    static uint64_t hashOf(uint64_t folderHash, std::string_view name);

    std::unordered_map<std::string, Pack, Hash, std::equal_to<>> m_packs;
    std::vector<Ref> m_refs;
    std::vector<uint32_t> m_slots;  // indexes into m_refs; a power of two, at most half full
};

}  // namespace quenrix
