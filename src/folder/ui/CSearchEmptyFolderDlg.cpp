#include "folder/ui/CSearchEmptyFolderDlg.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "core/QXPrompt.h"
#include "core/ui/QtText.h"
#include "folder/SearchEmptyFolderJob.h"
#include "platform/Text.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

std::wstring wide(const QString& text) {
    const std::u32string units = text.toStdU32String();
    return std::wstring(units.begin(), units.end());
}

// The list's entries stay sorted without regard to case, as a sorted list box keeps them.
// Each item holds the exact text it was made from, in the lossless byte form.
std::wstring valueOf(const QListWidgetItem* item) {
    return tovy::fromUtf8(item->data(Qt::UserRole).toByteArray().toStdString());
}

void insertSorted(QListWidget* list, const std::wstring& value) {
    int row = 0;
    for (; row < list->count(); ++row) {
        const std::wstring here = valueOf(list->item(row));
        if (platform::compareNoCase(value, here) < 0) break;
    }
    auto* item = new QListWidgetItem(toQtText(value));
    item->setData(Qt::UserRole, QByteArray::fromStdString(tovy::toUtf8(value)));
    list->insertItem(row, item);
}

std::vector<std::wstring> valuesOf(const QListWidget* list) {
    std::vector<std::wstring> values;
    for (int row = 0; row < list->count(); ++row) {
        values.push_back(valueOf(list->item(row)));
    }
    return values;
}

QPushButton* button(const QString& text, int id, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QStringLiteral("c%1").arg(id));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

CSearchEmptyFolderDlg::CSearchEmptyFolderDlg(const std::vector<std::wstring>& patterns,
                                             const std::vector<std::wstring>& ignoreFiles,
                                             QXPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_prompt(prompt) {
    setWindowTitle(QStringLiteral("空フォルダ削除"));

    auto* groups = new QHBoxLayout;
    groups->addWidget(
        makeGroup(QStringLiteral("パターンマッチ"), m_patterns, 1112, 1113, 1107, 1108, patterns));
    groups->addWidget(
        makeGroup(QStringLiteral("無視ファイル"), m_ignore, 1041, 1097, 1109, 1110, ignoreFiles));

    auto* search = button(QStringLiteral("検索"), 1, this);
    search->setDefault(true);
    auto* cancel = button(QStringLiteral("キャンセル"), 2, this);
    auto* save = button(QStringLiteral("保存"), 1116, this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save);
    buttons->addStretch();
    buttons->addWidget(search);
    buttons->addWidget(cancel);

    auto* top = new QVBoxLayout(this);
    top->addLayout(groups, 1);
    top->addLayout(buttons);

    connect(search, &QPushButton::clicked, this, &CSearchEmptyFolderDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(save, &QPushButton::clicked, this, &CSearchEmptyFolderDlg::save);
}

QWidget* CSearchEmptyFolderDlg::makeGroup(const QString& title, Group& group, int editId,
                                          int listId, int addId, int removeId,
                                          const std::vector<std::wstring>& values) {
    auto* box = new QGroupBox(title, this);
    group.edit = new QLineEdit(box);
    group.edit->setObjectName(QStringLiteral("c%1").arg(editId));
    group.list = new QListWidget(box);
    group.list->setObjectName(QStringLiteral("c%1").arg(listId));
    group.list->setMinimumWidth(group.list->fontMetrics().averageCharWidth() * 32);
    for (const std::wstring& value : values) insertSorted(group.list, value);
    auto* addButton = button(QStringLiteral("追加"), addId, box);
    auto* removeButton = button(QStringLiteral("削除"), removeId, box);

    auto* editRow = new QHBoxLayout;
    editRow->addWidget(group.edit, 1);
    editRow->addWidget(addButton);
    auto* removeRow = new QHBoxLayout;
    removeRow->addStretch();
    removeRow->addWidget(removeButton);
    auto* layout = new QVBoxLayout(box);
    layout->addLayout(editRow);
    layout->addWidget(group.list, 1);
    layout->addLayout(removeRow);

    connect(addButton, &QPushButton::clicked, this, [this, &group] { add(group); });
    connect(removeButton, &QPushButton::clicked, this, [this, &group] { this->remove(group); });
    return box;
}

void CSearchEmptyFolderDlg::add(Group& group) {
    const std::wstring value = wide(group.edit->text());
    if (!value.empty()) {
        std::wstring bad;
        std::wstring why;
        if (!Quenrix::checkPatterns({value}, &bad, &why)) {
            m_prompt.messageBox(L"パターンが正しくありません\n" + bad, L"INFORMATION",
                                QXIcon::Information);
            group.edit->setFocus();
            return;
        }
        insertSorted(group.list, value);
        group.edit->clear();
    }
    group.edit->setFocus();
}

void CSearchEmptyFolderDlg::remove(Group& group) {
    const int row = group.list->currentRow();
    if (row < 0 || !group.list->currentItem()->isSelected()) return;
    delete group.list->takeItem(row);
    if (group.list->count() > 0) {
        group.list->setCurrentRow(std::min(row, group.list->count() - 1));
    }
}

std::vector<std::wstring> CSearchEmptyFolderDlg::patterns() const {
    return valuesOf(m_patterns.list);
}

std::vector<std::wstring> CSearchEmptyFolderDlg::ignoreFiles() const {
    return valuesOf(m_ignore.list);
}

bool CSearchEmptyFolderDlg::checked() {
    for (const Group* group : {&m_patterns, &m_ignore}) {
        std::wstring bad;
        if (!Quenrix::checkPatterns(valuesOf(group->list), &bad)) {
            m_prompt.messageBox(L"パターンが正しくありません\n" + bad, L"INFORMATION",
                                QXIcon::Information);
            return false;
        }
    }
    return true;
}

void CSearchEmptyFolderDlg::accept() {
    if (!checked()) return;
    m_saveOnly = false;
    QDialog::accept();
}

void CSearchEmptyFolderDlg::save() {
    if (!checked()) return;
    m_saveOnly = true;
    QDialog::accept();
}

}  // namespace quenrix
