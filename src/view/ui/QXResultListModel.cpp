#include "view/ui/QXResultListModel.h"

#include "core/ui/QtText.h"
#include "doc/CQuenrixDoc.h"
#include "view/QXResultFormat.h"

namespace quenrix {

QXResultListModel::QXResultListModel(CQuenrixDoc& doc, QObject* parent)
    : QAbstractTableModel(parent), m_doc(doc), m_columns{kFileName,   kPath,      kFileSize,
                                                         kUpdateTime, kImageSize, kHash} {}

void QXResultListModel::fill(const QXFileList& matches) {
    beginResetModel();
    m_doc.results = matches;
    m_tickedCount = 0;
    m_tickedSize = 0;
    for (const auto& file : m_doc.results) {
        if (tickedByDefault(*file)) {
            file->addFlags(QXFileInfo::kCheck);
            ++m_tickedCount;
            m_tickedSize += file->size();
        } else {
            file->clearFlags(QXFileInfo::kCheck);
        }
    }
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

void QXResultListModel::recount() {
    m_tickedCount = 0;
    m_tickedSize = 0;
    for (const auto& file : m_doc.results) {
        if (file->hasFlag(QXFileInfo::kCheck)) {
            ++m_tickedCount;
            m_tickedSize += file->size();
        }
    }
}

const QXFileInfoPtr& QXResultListModel::record(int row) const {
    return m_doc.results[size_t(row)];
}

int QXResultListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_doc.results.size());
}

int QXResultListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant QXResultListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const QXFileInfo& file = *record(index.row());
    if (role == Qt::CheckStateRole) {
        if (index.column() != 0) return {};
        return file.hasFlag(QXFileInfo::kCheck) ? Qt::Checked : Qt::Unchecked;
    }
    if (role == Qt::TextAlignmentRole) {
        if (m_columns[size_t(index.column())] == kFileSize) {
            return int(Qt::AlignRight | Qt::AlignVCenter);
        }
        return {};
    }
    if (role != Qt::DisplayRole) return {};
    switch (m_columns[size_t(index.column())]) {
        case kFileName:
            return toQtText(displayText(file.fileName()));
        case kPath:
            return toQtText(displayText(file.fullPath()));
        case kFileSize:
            return toQtText(formatThousands(file.size()));
        case kUpdateTime:
            return toQtText(formatLocalTime(file.lastWriteTime()));
        case kImageSize:
            return toQtText(formatImageSize(file));
        case kHash:
            return QString();
    }
    return {};
}

bool QXResultListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != 0 ||
        index.row() >= rowCount()) {
        return false;
    }
    QXFileInfo& file = *record(index.row());
    const bool checked = value.toInt() == Qt::Checked;
    if (checked == file.hasFlag(QXFileInfo::kCheck)) return true;
    if (checked) {
        file.addFlags(QXFileInfo::kCheck);
        ++m_tickedCount;
        m_tickedSize += file.size();
    } else {
        file.clearFlags(QXFileInfo::kCheck);
        --m_tickedCount;
        m_tickedSize -= file.size();
    }
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit ticksChanged();
    return true;
}

Qt::ItemFlags QXResultListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant QXResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount()) {
        return {};
    }
    switch (m_columns[size_t(section)]) {
        case kFileName:
            return QStringLiteral("ファイル名");
        case kPath:
            return QStringLiteral("パス");
        case kFileSize:
            return QStringLiteral("ファイルサイズ");
        case kUpdateTime:
            return QStringLiteral("最終更新時間");
        case kImageSize:
            return QStringLiteral("画像サイズ");
        case kHash:
            return QStringLiteral("Hash");
    }
    return {};
}

}  // namespace quenrix
