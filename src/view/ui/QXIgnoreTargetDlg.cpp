#include "view/ui/QXIgnoreTargetDlg.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "core/ui/QtText.h"
#include "tovy/TovUtf8.h"
#include "view/QXResultFormat.h"
#include "view/ui/QXSelectFolderDlg.h"

namespace quenrix {

QXIgnoreTargetDlg::QXIgnoreTargetDlg(std::vector<std::wstring> patterns, QWidget* parent)
    : QDialog(parent), m_patterns(std::move(patterns)) {
    setWindowTitle(QStringLiteral("除外フォルダの設定"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("c1096"));
    m_list->setMinimumWidth(m_list->fontMetrics().averageCharWidth() * 60);
    auto* add = new QPushButton(QStringLiteral("追加"), this);
    add->setObjectName(QStringLiteral("c1140"));
    add->setAutoDefault(false);
    auto* remove = new QPushButton(QStringLiteral("削除"), this);
    remove->setObjectName(QStringLiteral("c1141"));
    remove->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* side = new QVBoxLayout;
    side->addWidget(add);
    side->addWidget(remove);
    side->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);

    connect(add, &QPushButton::clicked, this, &QXIgnoreTargetDlg::onAdd);
    connect(remove, &QPushButton::clicked, this, &QXIgnoreTargetDlg::onRemove);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QXIgnoreTargetDlg::onEdit);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    rebuild(-1);
}

void QXIgnoreTargetDlg::rebuild(int current) {
    m_list->clear();
    for (const auto& pattern : m_patterns) m_list->addItem(toQtText(displayText(pattern)));
    if (current >= 0 && current < m_list->count()) m_list->setCurrentRow(current);
}

std::wstring QXIgnoreTargetDlg::askPattern(const std::wstring& text) {
    const QString shown = toQtText(displayText(text));
    QXSelectFolderDlg dlg(QStringLiteral("除外フォルダを入力してください"), shown, this);
    if (dlg.exec() != QDialog::Accepted || dlg.text().isEmpty()) return {};
    // An entry confirmed unchanged keeps its own bytes, which the shown text may lack.
    if (!text.empty() && dlg.text() == shown) return text;
    // Typed or chosen text reaches the file system as local 8-bit bytes.
    return tovy::fromUtf8(QFile::encodeName(dlg.text()).toStdString());
}

void QXIgnoreTargetDlg::onAdd() {
    std::wstring pattern = askPattern({});
    if (pattern.empty()) return;
    m_patterns.push_back(std::move(pattern));
    rebuild(int(m_patterns.size()) - 1);
}

void QXIgnoreTargetDlg::onRemove() {
    const int row = m_list->currentRow();
    if (row < 0 || size_t(row) >= m_patterns.size()) return;
    m_patterns.erase(m_patterns.begin() + row);
    rebuild(std::min(row, int(m_patterns.size()) - 1));
}

void QXIgnoreTargetDlg::onEdit(QListWidgetItem* item) {
    const int row = m_list->row(item);
    if (row < 0 || size_t(row) >= m_patterns.size()) return;
    std::wstring pattern = askPattern(m_patterns[size_t(row)]);
    if (pattern.empty()) return;
    m_patterns[size_t(row)] = std::move(pattern);
    rebuild(row);
}

}  // namespace quenrix
