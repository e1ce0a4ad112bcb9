#include "view/ui/QXResultListModel.h"

#include <QApplication>
#include <QBrush>
#include <QColor>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStyle>

#include "core/ui/QtText.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXAppSettings.h"
#include "view/QXResultFormat.h"

namespace quenrix {

namespace {

// A stored colour 0x00BBGGRR.
QColor colorOf(uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

}  // namespace

QXResultListModel::QXResultListModel(CQuenrixDoc& doc, QObject* parent)
    : QAbstractTableModel(parent),
      m_doc(doc),
      m_layout(parseColumnLayout(QXAppSettings::instance().columns)) {}

void QXResultListModel::setLayout(QXColumnLayout layout) {
    beginResetModel();
    m_layout = std::move(layout);
    endResetModel();
}

int QXResultListModel::columnOfType(int32_t type) const {
    for (size_t j = 0; j < m_layout.size(); ++j) {
        if (m_layout[j] == type) return int(j);
    }
    return -1;
}

void QXResultListModel::fill(const QXFileList& matches, bool imported) {
    beginResetModel();
    m_doc.results = matches;
    applyFillTicks(m_doc.results, imported);
    recount();
    endResetModel();
    emit ticksChanged();
}

void QXResultListModel::clear() {
    beginResetModel();
    m_doc.results.clear();
    m_tickedCount = 0;
    m_tickedSize = 0;
    endResetModel();
    emit ticksChanged();
}

void QXResultListModel::reload() {
    beginResetModel();
    recount();
    endResetModel();
    emit ticksChanged();
}

void QXResultListModel::refreshChecks() {
    recount();
    if (rowCount() > 0 && columnCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::CheckStateRole, Qt::DisplayRole});
    }
    emit ticksChanged();
}

void QXResultListModel::recount() {
    const QXTickCount ticks = countTicks(m_doc.results);
    m_tickedCount = ticks.count;
    m_tickedSize = ticks.size;
}

void QXResultListModel::setCheck(QXFileInfo& file, bool checked) {
    if (checked == file.hasFlag(QXFileInfo::kCheck)) return;
    if (checked) {
        file.addFlags(QXFileInfo::kCheck);
        ++m_tickedCount;
        m_tickedSize += file.size();
    } else {
        file.clearFlags(QXFileInfo::kCheck);
        --m_tickedCount;
        m_tickedSize -= file.size();
    }
}

bool QXResultListModel::toggleCheck(int row) {
    if (row < 0 || row >= rowCount()) return false;
    QXFileInfo& file = *record(row);
    setCheck(file, !file.hasFlag(QXFileInfo::kCheck));
    emit dataChanged(index(row, 0), index(row, std::max(0, columnCount() - 1)),
                     {Qt::CheckStateRole});
    emit ticksChanged();
    return true;
}

void QXResultListModel::sortBy(int32_t type, bool ascending) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    sortResults(m_doc.results, type, ascending);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void QXResultListModel::setGroupColouring(bool on) {
    if (on == m_groupColouring) return;
    m_groupColouring = on;
    if (rowCount() > 0 && columnCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole});
    }
}

const QXFileInfoPtr& QXResultListModel::record(int row) const {
    return m_doc.results[size_t(row)];
}

QIcon QXResultListModel::iconOf(QXFileInfo& file) const {
    if (file.hasFlag(QXFileInfo::kIconKnown) && file.iconIndex >= 0 &&
        size_t(file.iconIndex) < m_icons.size()) {
        return m_icons[size_t(file.iconIndex)];
    }
    // The file type decides the icon; the name's extension is enough to tell it, so the
    // file itself is not opened.
    static const QMimeDatabase mimes;
    const QFileInfo info(QFile::decodeName(QByteArray::fromStdString(file.nativePath())));
    const bool folder = file.stat().isDirectory();
    const QString type = folder ? QStringLiteral("inode/directory")
                                : mimes.mimeTypeForFile(info, QMimeDatabase::MatchExtension).name();
    auto it = m_iconOfType.constFind(type);
    int32_t slot;
    if (it != m_iconOfType.constEnd()) {
        slot = *it;
    } else {
        slot = int32_t(m_icons.size());
        QIcon icon = folder ? m_iconProvider.icon(QAbstractFileIconProvider::Folder)
                            : m_iconProvider.icon(info);
        // Without an icon theme the provider may have nothing: the style's file icon.
        if (icon.isNull()) {
            icon = QApplication::style()->standardIcon(folder ? QStyle::SP_DirIcon
                                                              : QStyle::SP_FileIcon);
        }
        m_icons.push_back(icon);
        m_iconOfType.insert(type, slot);
    }
    file.iconIndex = slot;
    file.addFlags(QXFileInfo::kIconKnown);
    return m_icons[size_t(slot)];
}

int QXResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_doc.results.size());
}

int QXResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_layout.size());
}

QVariant QXResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    QXFileInfo& file = *record(index.row());
    const int32_t type = m_layout[size_t(index.column())];
    switch (role) {
        case Qt::DisplayRole:
            return toQtText(formatColumnText(type, file));
        case Qt::CheckStateRole:
            if (index.column() != 0) return {};
            return file.hasFlag(QXFileInfo::kCheck) ? Qt::Checked : Qt::Unchecked;
        case Qt::DecorationRole:
            if (index.column() != 0) return {};
            return iconOf(file);
        case Qt::TextAlignmentRole:
            return columnIsNumeric(type) ? int(Qt::AlignRight | Qt::AlignVCenter)
                                         : int(Qt::AlignLeft | Qt::AlignVCenter);
        case Qt::BackgroundRole: {
            // After a duplicate search a group shares one colour and the next group has
            // the other (a negative number goes by the row); otherwise rows are plain.
            if (!m_groupColouring) return QBrush(Qt::white);
            const QXAppSettings& settings = QXAppSettings::instance();
            const int64_t parity = file.groupNumber >= 0 ? file.groupNumber : index.row();
            return QBrush(
                colorOf(parity % 2 != 0 ? settings.colorBackOdd : settings.colorBackEven));
        }
        case Qt::ForegroundRole:
            return QBrush(Qt::black);
        default:
            return {};
    }
}

bool QXResultListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0 ||
        index.row() >= rowCount()) {
        return false;
    }
    QXFileInfo& file = *record(index.row());
    const bool checked = value.toInt() == Qt::Checked;
    if (checked == file.hasFlag(QXFileInfo::kCheck)) return true;
    setCheck(file, checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit ticksChanged();
    return true;
}

Qt::ItemFlags QXResultListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    // The list control toggles the tick itself (on a click anywhere left of the label),
    // so the check box is not user-checkable through the delegate.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QVariant QXResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    const int32_t type = m_layout[size_t(section)];
    if (role == Qt::DisplayRole) return toQtText(columnHeader(type));
    if (role == kColumnTypeRole) return type;
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

}  // namespace quenrix
