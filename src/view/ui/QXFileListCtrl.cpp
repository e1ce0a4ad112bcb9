#include "view/ui/QXFileListCtrl.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDrag>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QUrl>

#include <algorithm>

#include "core/QXLog.h"
#include "core/ui/QtText.h"
#include "tovy/TovUtf8.h"
#include "view/ui/QXResultListModel.h"

namespace quenrix {

namespace {

// The file: URL of a path in its encoded form: every byte outside the unreserved set and
// "/" percent-encoded, so a name in any encoding comes back as the same bytes.
QByteArray encodedFileUrl(const std::string& nativePath) {
    return QByteArrayLiteral("file://") +
           QByteArray::fromStdString(nativePath).toPercentEncoding(QByteArrayLiteral("/"));
}

// The folder part of a path ("/" for a file in the root).
std::string_view folderOf(const std::string& nativePath) {
    const size_t slash = nativePath.rfind('/');
    if (slash == std::string::npos) return {};
    return std::string_view(nativePath).substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

QXFileListCtrl::QXFileListCtrl(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideRight);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // Selected rows look the same whether or not the list has the focus.
    QPalette p = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Highlight, QColor(201, 224, 252));
        p.setColor(group, QPalette::HighlightedText, Qt::black);
    }
    setPalette(p);

    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(std::max(fontMetrics().height(), 16) + 4);

    QHeaderView* header = horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setSectionsMovable(true);
    header->setSortIndicatorShown(true);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::sectionClicked, this, &QXFileListCtrl::headerClicked);
    // The layout is rebuilt in the new order, which must wait until the header has
    // finished its own handling of the drop.
    connect(header, &QHeaderView::sectionMoved, this, [this] {
        if (m_restoringOrder) return;
        QMetaObject::invokeMethod(this, &QXFileListCtrl::headerDragged, Qt::QueuedConnection);
    });
    connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint& pos) {
        emit headerMenuRequested(header->mapToGlobal(pos));
    });
}

void QXFileListCtrl::setResultModel(QXResultListModel* model) {
    m_model = model;
    setModel(model);
}

void QXFileListCtrl::restoreLogicalOrder() {
    QHeaderView* header = horizontalHeader();
    m_restoringOrder = true;
    for (int logical = 0; logical < header->count(); ++logical) {
        const int from = header->visualIndex(logical);
        if (from != logical) header->moveSection(from, logical);
    }
    m_restoringOrder = false;
}

std::vector<size_t> QXFileListCtrl::selectedRows() const {
    std::vector<size_t> rows;
    if (!selectionModel()) return rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        if (index.row() >= 0 && index.row() < model()->rowCount())
            rows.push_back(size_t(index.row()));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QRect QXFileListCtrl::checkArea(int row) const {
    if (!m_model || row < 0 || row >= m_model->rowCount() || m_model->columnCount() == 0) return {};
    const QModelIndex index = m_model->index(row, 0);
    const QRect cell = visualRect(index);
    if (!cell.isValid()) return {};
    // Where the delegate puts the label of a cell with a check box and an icon.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = cell;
    option.features |= QStyleOptionViewItem::HasCheckIndicator |
                       QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay;
    option.text = QStringLiteral("x");
    if (!option.decorationSize.isValid()) {
        const int icon = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
        option.decorationSize = QSize(icon, icon);
    }
    const QRect label = style()->subElementRect(QStyle::SE_ItemViewItemText, &option, this);
    const int right = std::clamp(label.left(), cell.left(), cell.right() + 1);
    return QRect(cell.left(), cell.top(), right - cell.left(), cell.height());
}

void QXFileListCtrl::mousePressEvent(QMouseEvent* event) {
    m_pressedRow = -1;
    if (event->button() == Qt::LeftButton) {
        const QPoint pos = event->position().toPoint();
        const int row = indexAt(pos).row();
        if (row >= 0 && checkArea(row).contains(pos)) m_pressedRow = row;
    }
    QTableView::mousePressEvent(event);
}

void QXFileListCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const int pressed = m_pressedRow;
    m_pressedRow = -1;
    const bool skip = m_skipRelease;
    m_skipRelease = false;
    QTableView::mouseReleaseEvent(event);
    if (skip || pressed < 0 || event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    if (indexAt(pos).row() != pressed || !checkArea(pressed).contains(pos)) return;
    if (m_model && m_model->toggleCheck(pressed)) emit tickToggled(pressed);
}

void QXFileListCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    // The first click of the pair has done its work; the second one only opens.
    m_skipRelease = true;
    m_pressedRow = -1;
    QTableView::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton || !m_model) return;
    const QPoint pos = event->position().toPoint();
    const int row = indexAt(pos).row();
    if (row < 0 || row >= m_model->rowCount() || checkArea(row).contains(pos)) return;
    openFiles({m_model->record(row)->nativePath()});
}

std::vector<std::string> QXFileListCtrl::selectedPaths() const {
    std::vector<std::string> paths;
    if (!m_model) return paths;
    for (size_t row : selectedRows()) paths.push_back(m_model->record(int(row))->nativePath());
    return paths;
}

void QXFileListCtrl::openFiles(const std::vector<std::string>& nativePaths) {
    for (const std::string& path : nativePaths) {
        if (!QDesktopServices::openUrl(fileUrl(path))) {
            QXLog::Write(L"QXFileListCtrl : open : %s", tovy::fromUtf8(path).c_str());
        }
    }
}

void QXFileListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    const std::vector<std::string> paths = selectedPaths();
    if (paths.empty()) return;
    const std::string_view folder = folderOf(paths.front());
    const bool oneFolder = std::all_of(paths.begin(), paths.end(), [&](const std::string& path) {
        return folderOf(path) == folder;
    });

    QMenu menu(this);
    QAction* open = nullptr;
    QAction* openFolder = nullptr;
    if (oneFolder) {
        open = menu.addAction(QStringLiteral("開く"));
        openFolder = menu.addAction(QStringLiteral("フォルダを開く"));
        menu.addSeparator();
    }
    QAction* copy = menu.addAction(QStringLiteral("コピー"));
    QAction* chosen = menu.exec(event->globalPos());
    if (!chosen) return;
    if (chosen == copy) {
        QApplication::clipboard()->setMimeData(fileListData(paths));
    } else if (chosen == open) {
        openFiles(paths);
    } else if (chosen == openFolder) {
        openFiles({std::string(folder)});
    }
}

void QXFileListCtrl::startDrag(Qt::DropActions) {
    const std::vector<std::string> paths = selectedPaths();
    if (paths.empty()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(fileListData(paths));
    drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
}

QUrl QXFileListCtrl::fileUrl(const std::string& nativePath) {
    return QUrl::fromEncoded(encodedFileUrl(nativePath));
}

QMimeData* QXFileListCtrl::fileListData(const std::vector<std::string>& nativePaths) {
    QByteArray uris;
    QByteArray gnome = QByteArrayLiteral("copy");
    QStringList text;
    for (const std::string& path : nativePaths) {
        const QByteArray url = encodedFileUrl(path);
        uris += url + QByteArrayLiteral("\r\n");
        gnome += '\n' + url;
        text.push_back(toQtText(tovy::fromUtf8(path)));
    }
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/uri-list"), uris);
    // What the GNOME family of file managers pastes from.
    data->setData(QStringLiteral("x-special/gnome-copied-files"), gnome);
    data->setText(text.join(QLatin1Char('\n')));
    return data;
}

}  // namespace quenrix
