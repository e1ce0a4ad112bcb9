#include "view/ui/QXSelectFolderDlg.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quenrix {

QXSelectFolderDlg::QXSelectFolderDlg(const QString& title, const QString& text, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(title);
    m_edit = new QLineEdit(text, this);
    m_edit->setObjectName(QStringLiteral("c1143"));
    m_edit->setMinimumWidth(m_edit->fontMetrics().averageCharWidth() * 50);
    m_browse = new QPushButton(QStringLiteral("..."), this);
    m_browse->setObjectName(QStringLiteral("c1142"));
    m_browse->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* line = new QHBoxLayout;
    line->addWidget(m_edit, 1);
    line->addWidget(m_browse);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(line);
    layout->addWidget(buttons);

    connect(m_browse, &QPushButton::clicked, this, &QXSelectFolderDlg::onBrowse);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString QXSelectFolderDlg::text() const {
    return m_edit->text();
}

void QXSelectFolderDlg::onBrowse() {
    const QString current = m_edit->text();
    const QString start = !current.isEmpty() && QFileInfo(current).isDir() ? current : QString();
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("フォルダを選択してください"), start, QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) m_edit->setText(folder);
}

}  // namespace quenrix
