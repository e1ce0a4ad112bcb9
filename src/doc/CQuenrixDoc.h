// The search settings the user edits: targets, ignore patterns, the three search options,
// the rules and the rule operator, and the records of the last result. Saved and opened
// as a document. User-interface thread only; a search works on copies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXTarget.h"
#include "rule/QXRule.h"

namespace quenrix {

class CQuenrixDoc {
public:
    static constexpr int32_t kRuleAnd = 0;  // "すべての条件が成立"
    static constexpr int32_t kRuleOr = 1;   // "どれか１つの条件が成立"

    // Empties every list and switches the options off (a new document).
    void clear();

    std::vector<QXTargetPtr> targets;
    std::vector<std::wstring> ignoreList;  // PathMatchSpec patterns for folders
    bool includeSubfolders = false;        // "サブフォルダも対象"
    bool includeHidden = false;            // "隠しファイル"
    bool includeSystem = false;            // "システムファイル"
    QXRuleList rules;
    int32_t ruleOperator = kRuleAnd;
    QXFileList results;  // records of the last result-list fill
};

}  // namespace quenrix
