#include "view/ui/QXEditColumnDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "core/ui/QtText.h"

namespace quenrix {

QXEditColumnDlg::QXEditColumnDlg(const QXColumnLayout& current, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("カラム編集"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("c1096"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (int32_t type = 1; type < kShownColumnTypes; ++type) {
        auto* item = new QListWidgetItem(toQtText(columnHeader(type)), m_list);
        item->setData(Qt::UserRole, type);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        const bool shown = std::find(current.begin(), current.end(), type) != current.end();
        item->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
    }
    m_list->setMinimumHeight(m_list->sizeHintForRow(0) * 16);

    m_check = new QPushButton(QStringLiteral("チェックする"), this);
    m_check->setObjectName(QStringLiteral("c1126"));
    m_check->setAutoDefault(false);
    m_uncheck = new QPushButton(QStringLiteral("チェックをはずす"), this);
    m_uncheck->setObjectName(QStringLiteral("c1127"));
    m_uncheck->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* side = new QVBoxLayout;
    side->addWidget(m_check);
    side->addWidget(m_uncheck);
    side->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);

    connect(m_check, &QPushButton::clicked, this, [this] { checkSelected(true); });
    connect(m_uncheck, &QPushButton::clicked, this, [this] { checkSelected(false); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void QXEditColumnDlg::checkSelected(bool check) {
    for (QListWidgetItem* item : m_list->selectedItems()) {
        item->setCheckState(check ? Qt::Checked : Qt::Unchecked);
    }
}

QXColumnLayout QXEditColumnDlg::layout() const {
    QXColumnLayout result{kColFileName};
    for (int row = 0; row < m_list->count(); ++row) {
        const QListWidgetItem* item = m_list->item(row);
        if (item->checkState() == Qt::Checked) result.push_back(item->data(Qt::UserRole).toInt());
    }
    return result;
}

}  // namespace quenrix
