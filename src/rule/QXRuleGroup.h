// An AND/OR group of rules. Held through std::shared_ptr by its member rules; a group
// whose last member leaves it is destroyed. Changed on the user-interface thread; during
// a search only the search worker writes its counters.
#pragma once

#include <cstdint>
#include <memory>

namespace quenrix {

struct QXRuleGroup {
    static constexpr int32_t kAnd = 0;
    static constexpr int32_t kOr = 1;

    explicit QXRuleGroup(int32_t groupType = kAnd) : type(groupType) {}

    // Nonzero and different between the groups alive at the same time.
    uint64_t identity() const { return reinterpret_cast<uintptr_t>(this); }

    int32_t type = kAnd;
    bool value = true;          // running verdict of the members for the record combined
    int32_t memberCount = 0;    // enabled members in the current search
    int32_t membersSeen = 0;    // members combined so far for the current record
    int32_t displayNumber = 0;  // 1, 2, 3 ... in display order; selects the row colour
};

using QXRuleGroupPtr = std::shared_ptr<QXRuleGroup>;

}  // namespace quenrix
