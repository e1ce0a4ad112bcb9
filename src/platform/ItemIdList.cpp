#include "platform/ItemIdList.h"

#include <sys/stat.h>

#include "platform/Path.h"

namespace platform {

std::optional<ItemIdList> ItemIdList::parseDisplayName(const std::string& path) {
    if (path.empty() || path.front() != '/') return std::nullopt;
    ItemIdList list = fromPath(path);
    struct stat st;
    if (::lstat(list.path().c_str(), &st) != 0) return std::nullopt;
    return list;
}

ItemIdList ItemIdList::fromPath(const std::string& path) {
    std::string normal = normalisePath(!path.empty() && path.front() == '/' ? path : "/" + path);
    ItemIdList list;
    size_t pos = 1;
    while (pos < normal.size()) {
        size_t slash = normal.find('/', pos);
        if (slash == std::string::npos) slash = normal.size();
        list.m_items.emplace_back(normal, pos, slash - pos);
        pos = slash + 1;
    }
    return list;
}

int32_t ItemIdList::byteSize() const {
    int64_t size = 2;
    for (const auto& item : m_items) size += 2 + int64_t(item.size());
    return int32_t(size);
}

std::string ItemIdList::path() const {
    if (m_items.empty()) return "/";
    std::string out;
    for (const auto& item : m_items) {
        out.push_back('/');
        out.append(item);
    }
    return out;
}

ItemIdList ItemIdList::child(const std::string& name) const {
    ItemIdList list = *this;
    list.m_items.push_back(name);
    return list;
}

}  // namespace platform
