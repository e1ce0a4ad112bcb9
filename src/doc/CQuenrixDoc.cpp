#include "doc/CQuenrixDoc.h"

namespace quenrix {

void CQuenrixDoc::clear() {
    targets.clear();
    ignoreList.clear();
    includeSubfolders = false;
    includeHidden = false;
    includeSystem = false;
    rules.clear();
    ruleOperator = kRuleAnd;
    results.clear();
}

}  // namespace quenrix
