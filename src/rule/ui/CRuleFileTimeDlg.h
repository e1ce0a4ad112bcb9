// The edit dialog of the three time kinds (creation, last write, last access): the
// reference (the current local time or a date and time to the minute), the comparison,
// the distance of functions 以降, 以前 and 以内, and the precision of と一致 and と一致しない.
// Only the inputs that take part in the chosen settings are enabled. User-interface
// thread only.
#pragma once

#include "rule/QXFileTimeRule.h"
#include "rule/ui/CRuleEditDlg.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace quenrix {

class CRuleFileTimeDlg : public CRuleEditDlg {
    Q_OBJECT
public:
    explicit CRuleFileTimeDlg(QXFileTimeRule& rule, QWidget* parent = nullptr);

private:
    bool takeInput() override;
    void showTime(const platform::SYSTEMTIME& time);
    void updateEnabling();

    QXFileTimeRule& m_rule;
    QRadioButton* m_currentTime = nullptr;
    QRadioButton* m_storedTime = nullptr;
    QLineEdit* m_year = nullptr;
    QLineEdit* m_month = nullptr;
    QLineEdit* m_day = nullptr;
    QLineEdit* m_hour = nullptr;
    QLineEdit* m_minute = nullptr;
    QComboBox* m_function = nullptr;
    QLineEdit* m_amount = nullptr;
    QComboBox* m_amountUnit = nullptr;
    QComboBox* m_precision = nullptr;
};

}  // namespace quenrix
