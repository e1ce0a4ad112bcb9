#include "view/ui/CDupExtFolderDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "core/ui/QtText.h"
#include "platform/ItemIdList.h"
#include "tovy/TovUtf8.h"
#include "view/ui/CDupExtSelectDlg.h"
#include "view/ui/QXFolderTreeDlg.h"

namespace quenrix {

namespace {

constexpr int kPathColumn = 0;
constexpr int kSubfolderColumn = 1;
constexpr int kPathRole = Qt::UserRole;
constexpr int kSubfolderRole = Qt::UserRole;

std::string entryPath(const QTreeWidgetItem* item) {
    return item->data(kPathColumn, kPathRole).toByteArray().toStdString();
}

bool entrySubfolders(const QTreeWidgetItem* item) {
    return item->data(kSubfolderColumn, kSubfolderRole).toBool();
}

void setSubfolders(QTreeWidgetItem* item, bool on) {
    item->setData(kSubfolderColumn, kSubfolderRole, on);
    item->setText(kSubfolderColumn, on ? QStringLiteral("yes") : QStringLiteral("no"));
}

// Keeps the list's two columns at 80 % and 20 % of its width.
class ColumnSplitter : public QObject {
public:
    explicit ColumnSplitter(QTreeWidget* list) : QObject(list), m_list(list) {
        list->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            const int width = m_list->viewport()->width();
            m_list->setColumnWidth(kPathColumn, width * 8 / 10);
            m_list->setColumnWidth(kSubfolderColumn, width - width * 8 / 10);
        }
        return false;
    }

private:
    QTreeWidget* m_list;
};

QPushButton* makeButton(const QString& text, int id, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QStringLiteral("c%1").arg(id));
    button->setAutoDefault(false);
    return button;
}

QComboBox* makeCombo(int id, const QStringList& items, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QStringLiteral("c%1").arg(id));
    combo->addItems(items);
    combo->setCurrentIndex(0);
    return combo;
}

}  // namespace

CDupExtFolderDlg::CDupExtFolderDlg(std::vector<std::string> targets, QWidget* parent)
    : QDialog(parent), m_targets(std::move(targets)) {
    setWindowTitle(QStringLiteral("重複拡張：優先するフォルダを指定"));
    m_chooseTarget = [](QWidget* owner, const std::vector<std::string>& list) {
        CDupExtSelectDlg dlg(list, owner);
        return dlg.exec() == QDialog::Accepted ? dlg.selectedIndex() : -1;
    };
    m_browseFolder = [](QWidget* owner, const std::string& root) {
        return QXFolderTreeDlg::browse(owner, root);
    };

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("c1051"));
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Path"), QStringLiteral("Subfolder")});
    m_list->headerItem()->setTextAlignment(kSubfolderColumn, Qt::AlignCenter);
    m_list->header()->setStretchLastSection(false);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAllColumnsShowFocus(true);
    m_list->setMinimumSize(m_list->fontMetrics().averageCharWidth() * 60,
                           m_list->fontMetrics().height() * 10);
    new ColumnSplitter(m_list);

    m_browse = makeButton(QStringLiteral("参照..."), 1054, this);
    m_up = makeButton(QStringLiteral("↑"), 1055, this);
    m_down = makeButton(QStringLiteral("↓"), 1056, this);
    m_remove = makeButton(QStringLiteral("削除"), 1057, this);
    m_action = makeCombo(
        1052, {QStringLiteral("優先して削除"), QStringLiteral("優先して削除しない")}, this);
    m_otherwise = makeCombo(
        1053, {QStringLiteral("古いファイルを削除"), QStringLiteral("新しいファイルを削除")}, this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("c1"));
    auto* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setText(QStringLiteral("キャンセル"));
    cancel->setObjectName(QStringLiteral("c2"));

    auto* side = new QVBoxLayout;
    side->addWidget(m_browse);
    side->addWidget(m_up);
    side->addWidget(m_down);
    side->addWidget(m_remove);
    side->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addLayout(side);
    auto* choices = new QGridLayout;
    choices->addWidget(new QLabel(QStringLiteral("処理："), this), 0, 0);
    choices->addWidget(m_action, 0, 1, Qt::AlignLeft);
    choices->addWidget(new QLabel(QStringLiteral("当てはまらなかった場合の処理："), this), 1, 0);
    choices->addWidget(m_otherwise, 1, 1, Qt::AlignLeft);
    choices->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral(
            "重複したファイルを処理するときに優先するフォルダ（上にあるものほど優先されます）"),
        this));
    layout->addLayout(top, 1);
    layout->addLayout(choices);
    layout->addWidget(buttons);

    const auto updateButtons = [this] {
        QTreeWidgetItem* current = m_list->currentItem();
        const int row =
            current && current->isSelected() ? m_list->indexOfTopLevelItem(current) : -1;
        m_remove->setEnabled(row >= 0);
        m_up->setEnabled(row > 0);
        m_down->setEnabled(row >= 0 && row + 1 < m_list->topLevelItemCount());
    };
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, updateButtons);
    connect(m_list, &QTreeWidget::currentItemChanged, this, updateButtons);
    connect(m_list->model(), &QAbstractItemModel::rowsInserted, this, updateButtons);
    connect(m_list->model(), &QAbstractItemModel::rowsRemoved, this, updateButtons);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        m_list->setCurrentItem(item);
        onToggleSubfolder();
    });
    connect(m_browse, &QPushButton::clicked, this, &CDupExtFolderDlg::onBrowse);
    connect(m_up, &QPushButton::clicked, this, [this] { onMove(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { onMove(1); });
    connect(m_remove, &QPushButton::clicked, this, &CDupExtFolderDlg::onRemove);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDupExtFolderDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updateButtons();
}

void CDupExtFolderDlg::onBrowse() {
    const int index = m_chooseTarget ? m_chooseTarget(this, m_targets) : -1;
    if (index < 0 || size_t(index) >= m_targets.size()) return;
    const std::string folder = m_browseFolder ? m_browseFolder(this, m_targets[size_t(index)]) : "";
    if (folder.empty() || folder.front() != '/') return;
    const platform::ItemIdList chosen = platform::ItemIdList::fromPath(folder);
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = m_list->topLevelItem(row);
        if (platform::ItemIdList::fromPath(entryPath(item)) == chosen) {
            m_list->setCurrentItem(item);
            return;
        }
    }
    const std::string path = chosen.path();
    auto* item = new QTreeWidgetItem;
    item->setText(kPathColumn, toQtText(tovy::fromUtf8(path)));
    item->setData(kPathColumn, kPathRole, QByteArray::fromStdString(path));
    item->setTextAlignment(kSubfolderColumn, Qt::AlignCenter);
    setSubfolders(item, false);
    m_list->addTopLevelItem(item);
    m_list->setCurrentItem(item);
}

void CDupExtFolderDlg::onMove(int delta) {
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected()) return;
    const int row = m_list->indexOfTopLevelItem(item);
    const int to = row + delta;
    if (row < 0 || to < 0 || to >= m_list->topLevelItemCount()) return;
    m_list->takeTopLevelItem(row);
    m_list->insertTopLevelItem(to, item);
    m_list->setCurrentItem(item);
}

void CDupExtFolderDlg::onRemove() {
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected()) return;
    const int row = m_list->indexOfTopLevelItem(item);
    delete m_list->takeTopLevelItem(row);
    const int count = m_list->topLevelItemCount();
    if (count > 0) m_list->setCurrentItem(m_list->topLevelItem(std::min(row, count - 1)));
}

void CDupExtFolderDlg::onToggleSubfolder() {
    QTreeWidgetItem* item = m_list->currentItem();
    if (item) setSubfolders(item, !entrySubfolders(item));
}

void CDupExtFolderDlg::accept() {
    QXFolderPriority priority;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = m_list->topLevelItem(row);
        priority.folders.push_back({tovy::fromUtf8(entryPath(item)), entrySubfolders(item)});
    }
    priority.action = std::max(0, m_action->currentIndex());
    priority.otherwise = std::max(0, m_otherwise->currentIndex());
    m_priority = std::move(priority);
    QDialog::accept();
}

}  // namespace quenrix
