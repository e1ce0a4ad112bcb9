#include "view/ui/QXFolderTreeDlg.h"

#include <QDialogButtonBox>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <sys/stat.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "core/ui/QtText.h"
#include "platform/FileStat.h"
#include "platform/Path.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kFilledRole = Qt::UserRole + 1;

std::string itemPath(const QTreeWidgetItem* item) {
    return item ? item->data(0, kPathRole).toByteArray().toStdString() : std::string();
}

QString shownName(const std::string& native) {
    return toQtText(tovy::fromUtf8(native));
}

// The folder the tree is rooted at: the normalised path when it names a folder (a
// target given as a link to a folder counts), else "/".
std::string rootFolder(const std::string& path) {
    const std::string normal = platform::normalisePath(path);
    struct stat st;
    if (normal.empty() || ::stat(normal.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "/";
    return normal;
}

}  // namespace

QXFolderTreeDlg::QXFolderTreeDlg(const std::string& root, QWidget* parent)
    : QDialog(parent), m_root(rootFolder(root)) {
    const QString title = QStringLiteral("フォルダを選択してください");
    setWindowTitle(title);
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("folderTree"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    m_tree->setMinimumSize(m_tree->fontMetrics().averageCharWidth() * 50,
                           m_tree->fontMetrics().height() * 20);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("c1"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("c2"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(title, this));
    layout->addWidget(m_tree, 1);
    layout->addWidget(buttons);

    connect(m_tree, &QTreeWidget::itemExpanded, this, &QXFolderTreeDlg::fill);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { m_ok->setEnabled(current != nullptr); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    QTreeWidgetItem* top = makeItem(m_root, shownName(m_root));
    m_tree->addTopLevelItem(top);
    top->setExpanded(true);
    m_tree->setCurrentItem(top);
}

std::string QXFolderTreeDlg::browse(QWidget* parent, const std::string& root) {
    QXFolderTreeDlg dlg(root, parent);
    if (dlg.exec() != QDialog::Accepted) return {};
    return dlg.selectedFolder();
}

QTreeWidgetItem* QXFolderTreeDlg::makeItem(const std::string& path, const QString& text) {
    auto* item = new QTreeWidgetItem(QStringList(text));
    item->setData(0, kPathRole, QByteArray::fromStdString(path));
    item->setData(0, kFilledRole, false);
    item->setIcon(0, QFileIconProvider().icon(QFileIconProvider::Folder));
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void QXFolderTreeDlg::fill(QTreeWidgetItem* item) {
    if (!item || item->data(0, kFilledRole).toBool()) return;
    item->setData(0, kFilledRole, true);
    const std::string folder = itemPath(item);
    std::vector<std::pair<QString, std::string>> children;
    {
        // The root may be a link the user named as a target; below it no link is followed.
        platform::DirReader reader(folder, item->parent() == nullptr);
        std::string name;
        platform::FileStat st;
        while (reader.next(name, st)) {
            if (st.isDirectory() && !st.isSymlink()) children.emplace_back(shownName(name), name);
        }
    }
    std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) {
        const int c = QString::compare(a.first, b.first, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.second < b.second;
    });
    for (const auto& [text, name] : children) {
        item->addChild(makeItem(platform::joinPath(folder, name), text));
    }
    if (children.empty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

std::string QXFolderTreeDlg::selectedFolder() const {
    const QTreeWidgetItem* item = m_tree->currentItem();
    return item && item->isSelected() ? itemPath(item) : std::string();
}

bool QXFolderTreeDlg::selectFolder(const std::string& folder) {
    const std::string target = platform::normalisePath(folder);
    if (target.empty()) return false;
    QTreeWidgetItem* item = m_tree->topLevelItem(0);
    if (target != m_root) {
        const std::string prefix = m_root == "/" ? m_root : m_root + "/";
        if (target.compare(0, prefix.size(), prefix) != 0) return false;
        size_t pos = prefix.size();
        while (item && pos < target.size()) {
            size_t slash = target.find('/', pos);
            if (slash == std::string::npos) slash = target.size();
            const std::string path = target.substr(0, slash);
            fill(item);
            QTreeWidgetItem* next = nullptr;
            for (int i = 0; i < item->childCount() && !next; ++i) {
                if (itemPath(item->child(i)) == path) next = item->child(i);
            }
            if (next) item->setExpanded(true);
            item = next;
            pos = slash + 1;
        }
    }
    if (!item) return false;
    m_tree->setCurrentItem(item);
    m_tree->scrollToItem(item);
    return true;
}

}  // namespace quenrix
