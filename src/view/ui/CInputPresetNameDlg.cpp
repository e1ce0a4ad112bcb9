#include "view/ui/CInputPresetNameDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenrix {

CInputPresetNameDlg::CInputPresetNameDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("d145"));
    setWindowTitle(QStringLiteral("プリセットの登録"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("プリセット名を入力してください"), this));
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("c1040"));
    layout->addWidget(m_name);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("IDCANCEL"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_name->setFocus();
}

std::wstring CInputPresetNameDlg::name() const {
    return m_name->text().toStdWString();
}

}  // namespace quenrix
