// The frame every rule edit dialog shares: the caption, the OK and キャンセル buttons, the
// placement with the top-left corner at the mouse cursor, and the box that reports an
// input error while the dialog stays open. A dialog takes the rule it edits by reference
// and writes into it only when OK has accepted every input, so キャンセル or a refused
// input leaves the rule as it was. User-interface thread only.
#pragma once

#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <string>

#include "rule/QXRuleChecks.h"

class QBoxLayout;
class QComboBox;
class QLineEdit;

namespace quenrix {

class CRuleEditDlg : public QDialog {
    Q_OBJECT
public:
    // Shows the dialog modally with its top-left corner at the mouse cursor, moved only as
    // far as needed to keep it on the screen; true when it was confirmed with OK.
    bool run();

    // OK: closes the dialog only when takeInput() accepts.
    void accept() override;

protected:
    CRuleEditDlg(const QString& caption, QWidget* parent);

    // The area above the buttons, for the dialog's own controls.
    QBoxLayout* body() const { return m_body; }

    // Checks the inputs and, when all are accepted, writes them into the rule; otherwise
    // reports the first refusal with showInputError() and returns false.
    virtual bool takeInput() = 0;

    // Shows `message` in a box with `caption`; an empty caption shows the application's.
    void showInputError(const std::wstring& message,
                        const std::wstring& caption = kInputCheckCaption);

    // Names `widget` after its control id ("c1012"), the name tests find it by.
    template <class W>
    static W* named(W* widget, int id) {
        widget->setObjectName(QStringLiteral("c%1").arg(id));
        return widget;
    }
    static QComboBox* makeCombo(int id, const QStringList& items, QWidget* parent);
    // An edit that takes only the digits 0 to 9.
    static QLineEdit* makeDigitsEdit(int id, QWidget* parent);
    // Selects item `index`, or none when the value has no item (a hand-edited document).
    static void selectItem(QComboBox* combo, int32_t index);
    // The selected item's index; `previous` when none is selected.
    static int32_t selectedItem(const QComboBox* combo, int32_t previous);

private:
    QBoxLayout* m_body = nullptr;
};

}  // namespace quenrix
