// The table of the eighteen rule kinds: type id, type key, menu label, kind name,
// priority and factory. Kinds that are not built yet have no factory, so creating them
// gives none. Thread-safe: a constant table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rule/QXRule.h"

namespace quenrix {

namespace ruletype {
constexpr int32_t kFilename = 0;
constexpr int32_t kFilenameWildcard = 1;
constexpr int32_t kFilenameRegexp = 2;
constexpr int32_t kFileExt = 3;
constexpr int32_t kFileSize = 4;
constexpr int32_t kFileAttr = 5;
constexpr int32_t kCreateTime = 6;
constexpr int32_t kUpdateTime = 7;
constexpr int32_t kAccessTime = 8;
constexpr int32_t kDuplicate = 9;
constexpr int32_t kImageSize = 10;
constexpr int32_t kScript = 11;
constexpr int32_t kSameFile = 12;
constexpr int32_t kCheckArchive = 13;
constexpr int32_t kExif = 14;
constexpr int32_t kId3 = 15;
constexpr int32_t kSimilarImage = 16;
constexpr int32_t kVideo = 17;
constexpr int32_t kCount = 18;
}  // namespace ruletype

struct QXRuleKind {
    int32_t typeId;
    const wchar_t* typeKey;
    const wchar_t* menuLabel;
    const wchar_t* kindName;
    int32_t priority;
    QXRulePtr (*create)();  // null while the kind is not built
};

// The row for a type id 0 to 17, or null.
const QXRuleKind* ruleKind(int32_t typeId);
// The key of ids 0 to 17; empty otherwise.
std::wstring ruleTypeKey(int32_t typeId);
// The first id 0 to 17 whose key equals `key` exactly; -1 when none does.
int32_t ruleTypeIdOf(std::wstring_view key);
// A rule of the kind with its defaults (enabled, ungrouped); none for an id without a
// kind.
QXRulePtr createRule(int32_t typeId);

}  // namespace quenrix
