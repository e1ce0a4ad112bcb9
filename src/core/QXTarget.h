// One folder to search: its item identifier list (the components of the path), the list's
// byte size, and the path text shown in the target list. Held through std::shared_ptr;
// user-interface thread only (a search works on its own copy of the list).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ItemIdList.h"

namespace quenrix {

struct QXTarget {
    // A target for an existing folder or file path (the shell parses any existing path);
    // none when it cannot be parsed.
    static std::shared_ptr<QXTarget> fromPath(const std::string& nativePath);

    void setItemIdList(platform::ItemIdList list) {
        itemIdList = std::move(list);
        itemIdListSize = itemIdList.byteSize();
    }

    platform::ItemIdList itemIdList;
    int32_t itemIdListSize = 0;
    std::string path;  // native bytes
};

using QXTargetPtr = std::shared_ptr<QXTarget>;

}  // namespace quenrix
