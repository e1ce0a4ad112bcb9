// The edit dialog of the image-size rule: width and height (0 leaves a side untested)
// and the comparison. User-interface thread only.
#pragma once

#include "rule/QXImageSizeRule.h"
#include "rule/ui/CRuleEditDlg.h"

class QComboBox;
class QLineEdit;

namespace quenrix {

class CRuleImageSizeDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleImageSizeDlg(QXImageSizeRule& rule, QWidget* parent = nullptr);

private:
    bool takeInput() override;

    QXImageSizeRule& m_rule;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
    QComboBox* m_function = nullptr;
};

}  // namespace quenrix
