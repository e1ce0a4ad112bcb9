// Asks for the name under which the current rules are registered as a preset: a prompt,
// one edit field (id 1040, empty and focused at the start), OK and キャンセル. The caller
// reads name() after the dialog was accepted. User-interface thread only.
#pragma once

#include <QDialog>

#include <string>

class QLineEdit;

namespace quenrix {

class CInputPresetNameDlg : public QDialog {
    Q_OBJECT
public:
    explicit CInputPresetNameDlg(QWidget* parent = nullptr);

    std::wstring name() const;

private:
    QLineEdit* m_name = nullptr;
};

}  // namespace quenrix
