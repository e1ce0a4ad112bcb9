#include "rule/ui/QXRuleEditors.h"

#include <QWidget>

#include "rule/QXRuleRegistry.h"
#include "rule/ui/CRuleDuplicateDlg.h"
#include "rule/ui/CRuleEvalDlg.h"
#include "rule/ui/CRuleFileAttrDlg.h"
#include "rule/ui/CRuleFileExtDlg.h"
#include "rule/ui/CRuleFileSizeDlg.h"
#include "rule/ui/CRuleFileTimeDlg.h"
#include "rule/ui/CRuleFilenameDlg.h"
#include "rule/ui/CRuleImageSizeDlg.h"
#include "rule/ui/CRuleSameFileDlg.h"
#include "rule/ui/CRuleScriptDlg.h"
#include "rule/ui/CRuleSimilarImageDlg.h"

namespace quenrix {

namespace {

// Runs `Dialog` on a rule of its kind; `parent` is the owning QWidget.
template <class Rule, class Dialog>
bool editWith(QXRule& rule, void* parent) {
    auto* typed = dynamic_cast<Rule*>(&rule);
    if (!typed) return false;
    Dialog dialog(*typed, static_cast<QWidget*>(parent));
    return dialog.run();
}

}  // namespace

void registerRuleEditors() {
    for (int32_t id :
         {ruletype::kFilename, ruletype::kFilenameWildcard, ruletype::kFilenameRegexp}) {
        QXRuleEditorRegistry::set(id, &editWith<QXFilenameRule, CRuleFilenameDlg>);
    }
    QXRuleEditorRegistry::set(ruletype::kFileExt, &editWith<QXFileExtRule, CRuleFileExtDlg>);
    QXRuleEditorRegistry::set(ruletype::kFileSize, &editWith<QXFileSizeRule, CRuleFileSizeDlg>);
    QXRuleEditorRegistry::set(ruletype::kFileAttr, &editWith<QXFileAttrRule, CRuleFileAttrDlg>);
    for (int32_t id : {ruletype::kCreateTime, ruletype::kUpdateTime, ruletype::kAccessTime}) {
        QXRuleEditorRegistry::set(id, &editWith<QXFileTimeRule, CRuleFileTimeDlg>);
    }
    QXRuleEditorRegistry::set(ruletype::kDuplicate,
                              &editWith<QXCheckDuplicateRule, CRuleDuplicateDlg>);
    QXRuleEditorRegistry::set(ruletype::kSameFile, &editWith<QXSameFileRule, CRuleSameFileDlg>);
    QXRuleEditorRegistry::set(ruletype::kScript, &editWith<QXScriptRule, CRuleScriptDlg>);
    for (int32_t id : {ruletype::kExif, ruletype::kId3, ruletype::kVideo}) {
        QXRuleEditorRegistry::set(id, &editWith<QXEvalRule, CRuleEvalDlg>);
    }
    QXRuleEditorRegistry::set(ruletype::kImageSize,
                              &editWith<QXImageSizeRule, CRuleImageSizeDlg>);
    QXRuleEditorRegistry::set(ruletype::kSimilarImage,
                              &editWith<QXSimilarImageRule, CRuleSimilarImageDlg>);
}

}  // namespace quenrix
