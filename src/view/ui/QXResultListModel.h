// The result list's model: one row per record of the document's results, cells formatted
// only when the view asks for them (no copy of a row is kept, so a fill of a million
// matches costs one pass for the ticks). Column 0 carries the record's check box (the
// check bit of its flags); the model keeps the number and total size of the ticked
// records. User-interface thread only.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

#include "core/QXFileInfo.h"

namespace quenrix {

class CQuenrixDoc;

class QXResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { kFileName, kPath, kFileSize, kUpdateTime, kImageSize, kHash };

    explicit QXResultListModel(CQuenrixDoc& doc, QObject* parent = nullptr);

    // Replaces the document's results with `matches` and ticks each by the default rule.
    void fill(const QXFileList& matches);
    // Empties the document's results.
    void clear();
    // Shows the document's results as they are (their check bits kept), after a document
    // was opened.
    void reload();

    const QXFileInfoPtr& record(int row) const;
    size_t tickedCount() const { return m_tickedCount; }
    uint64_t tickedSize() const { return m_tickedSize; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The ticked count or size changed.
    void ticksChanged();

private:
    void recount();

    CQuenrixDoc& m_doc;
    std::vector<Column> m_columns;
    size_t m_tickedCount = 0;
    uint64_t m_tickedSize = 0;
};

}  // namespace quenrix
