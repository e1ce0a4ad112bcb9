#include "folder/ui/CSearchEmptyFolderResultDlg.h"

#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/QXPrompt.h"
#include "core/ui/QtText.h"
#include "folder/SearchEmptyFolderJob.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

CSearchEmptyFolderResultDlg::CSearchEmptyFolderResultDlg(Quenrix::SearchEmptyFolderJob& job,
                                                         QXPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_job(job), m_prompt(prompt) {
    setWindowTitle(QStringLiteral("空フォルダ削除"));
    setSizeGripEnabled(true);

    m_job.sortFound(/*ascending=*/true);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("c1022"));
    m_list->setColumnCount(1);
    m_list->setHeaderHidden(true);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->setMinimumSize(m_list->fontMetrics().averageCharWidth() * 70,
                           m_list->fontMetrics().height() * 16);
    const QIcon folderIcon = QFileIconProvider().icon(QFileIconProvider::Folder);
    for (const auto& entry : m_job.found) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, toQtText(tovy::fromUtf8(entry.path)));
        item->setIcon(0, folderIcon);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, entry.selected ? Qt::Checked : Qt::Unchecked);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("c1"));
    auto* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("キャンセル"));
    cancel->setObjectName(QStringLiteral("c2"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSearchEmptyFolderResultDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CSearchEmptyFolderResultDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_told) return;
    m_told = true;
    // Once the list is on screen, the count.
    QTimer::singleShot(0, this, [this] {
        m_prompt.messageBox(std::to_wstring(m_job.found.size()) + L" 個見つかりました", L"",
                            QXIcon::Information);
    });
}

void CSearchEmptyFolderResultDlg::accept() {
    for (int row = 0; row < m_list->topLevelItemCount() && size_t(row) < m_job.found.size();
         ++row) {
        m_job.found[size_t(row)].selected = m_list->topLevelItem(row)->checkState(0) == Qt::Checked;
    }
    QDialog::accept();
}

}  // namespace quenrix
