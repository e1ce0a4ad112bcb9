// Packed copies of the cache rows, one per folder and tag: the rows of quenrix_cache_table
// whose paths lie directly in that folder, as one blob. A search reads a few hundred
// blobs instead of tens of thousands of rows, and a lookup finds its folder's pack by
// hash and its name by binary search in the pack.
//
// A kept pack holds its blob and where each row starts in it, nothing more: the rows are
// read out of the blob when asked for, so a search's packs take little more memory than
// their bytes.
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

    // One folder's kept blob and the offsets of its rows, in name order.
    struct Pack {
        std::string blob;
        std::vector<uint32_t> rows;
    };

    // Keeps a folder's blob; false (and nothing kept) when it is malformed.
    bool add(std::string folder, std::string blob);
    // The pack of a folder; null when there is none. Valid until the next add().
    const Pack* pack(std::string_view folder) const;
    // The row of a name in a pack; false when the pack has no such name.
    static bool find(const Pack& pack, std::string_view name, std::string_view& content,
                     std::string_view& stamp);
    // The row of a path; false when its folder has no pack or the pack no such name.
    bool get(std::string_view path, std::string_view& content, std::string_view& stamp) const;
    // The rows of a folder's pack, viewing into it; empty when there is none.
    std::vector<Entry> rowsOf(std::string_view folder) const;
    size_t folders() const { return m_packs.size(); }

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    // Reads the rows of a blob: calls row(offset, entry) for each; false for a malformed
    // blob.
    template <class F>
    static bool parse(std::string_view blob, F&& row);
    static Entry entryAt(std::string_view blob, uint32_t offset);

    std::unordered_map<std::string, Pack, Hash, std::equal_to<>> m_packs;
};

}  // namespace quenrix
