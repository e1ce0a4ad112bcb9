#include "core/QXTarget.h"

namespace quenrix {

std::shared_ptr<QXTarget> QXTarget::fromPath(const std::string& nativePath) {
    auto list = platform::ItemIdList::parseDisplayName(nativePath);
    if (!list) return nullptr;
    auto target = std::make_shared<QXTarget>();
    target->setItemIdList(std::move(*list));
    target->path = nativePath;
    return target;
}

}  // namespace quenrix
