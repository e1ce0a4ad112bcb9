// The edit dialog of the three file-name kinds (plain, wildcard, regular expression):
// the pattern, the test, and the switches for ignoring the extension and the case. It
// edits a copy of the rule; OK compiles the copy's pattern for the expression kinds and
// only then assigns the copy's settings to the rule. User-interface thread only.
#pragma once

#include <memory>

#include "rule/QXFilenameRule.h"
#include "rule/ui/CRuleEditDlg.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace quenrix {

class CRuleFilenameDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleFilenameDlg(QXFilenameRule& rule, QWidget* parent = nullptr);

private:
    bool takeInput() override;

    QXFilenameRule& m_rule;
    std::shared_ptr<QXFilenameRule> m_copy;
    QLineEdit* m_pattern = nullptr;
    QComboBox* m_function = nullptr;
    QCheckBox* m_ignoreExtension = nullptr;
    QCheckBox* m_ignoreCase = nullptr;
};

}  // namespace quenrix
