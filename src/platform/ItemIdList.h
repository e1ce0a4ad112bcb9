// The shell item identifier list of a folder, as a value: the components of a normalised
// absolute path. "/" is the empty list (the root, like the desktop). Its byte size follows
// the shell's rule: every item is 2 bytes of size plus its data, and the list ends with a
// 2-byte zero. Thread-safe: a plain value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class ItemIdList {
public:
    ItemIdList() = default;

    // The list for an existing path (the shell's ParseDisplayName): none when the path is
    // not absolute or does not exist. A symbolic link is not resolved.
    static std::optional<ItemIdList> parseDisplayName(const std::string& path);
    // The list for a path, without looking at the file system (a relative path is taken
    // from the root).
    static ItemIdList fromPath(const std::string& path);

    const std::vector<std::string>& components() const { return m_items; }
    bool empty() const { return m_items.empty(); }
    // Sum of (2 + component bytes) plus 2.
    int32_t byteSize() const;
    // The parsing name: the absolute path ("/" for the empty list).
    std::string path() const;
    // This list followed by one item.
    ItemIdList child(const std::string& name) const;

    bool operator==(const ItemIdList&) const = default;

private:
    std::vector<std::string> m_items;
};

}  // namespace platform
