#include "view/ui/CDupExtSelectDlg.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/QXQtPrompt.h"
#include "core/ui/QtText.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

CDupExtSelectDlg::CDupExtSelectDlg(const std::vector<std::string>& targets, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("フォルダを選択してください"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("c1096"));
    m_list->setMinimumWidth(m_list->fontMetrics().averageCharWidth() * 60);
    for (const auto& target : targets) m_list->addItem(toQtText(tovy::fromUtf8(target)));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("c1"));
    auto* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("キャンセル"));
    cancel->setObjectName(QStringLiteral("c2"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CDupExtSelectDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &CDupExtSelectDlg::accept);
}

void CDupExtSelectDlg::accept() {
    const QListWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected()) {
        QXQtPrompt prompt(this);
        prompt.messageBox(L"フォルダを選択してください", L"Information", QXIcon::Information);
        return;
    }
    m_selected = m_list->row(item);
    QDialog::accept();
}

}  // namespace quenrix
