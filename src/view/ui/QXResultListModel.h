// The result list's model: one row per record of the document's results, one column per
// entry of the column layout. Cells are formatted only when the view asks for them (no
// copy of a row is kept, so a fill of a million matches costs one pass for the ticks).
// Column 0 carries the record's check box (the check bit of its flags) and its file-type
// icon; the model keeps the number and total size of the ticked records. Rows are
// coloured by duplicate group after a duplicate search. User-interface thread only.
#pragma once

#include <QAbstractTableModel>
#include <QFileIconProvider>
#include <QHash>
#include <QIcon>

#include <cstdint>
#include <vector>

#include "core/QXFileInfo.h"
#include "view/QXCheckCommands.h"
#include "view/QXColumns.h"

namespace quenrix {

class CQuenrixDoc;

class QXResultListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The raw column type of a header section (Qt::UserRole of headerData).
    static constexpr int kColumnTypeRole = Qt::UserRole;

    explicit QXResultListModel(CQuenrixDoc& doc, QObject* parent = nullptr);

    // The shown column types, left to right in logical order.
    const QXColumnLayout& layout() const { return m_layout; }
    void setLayout(QXColumnLayout layout);
    // The logical column that shows the type, or -1.
    int columnOfType(int32_t type) const;

    // Replaces the document's results with `matches` and sets their ticks: the default
    // rule after a search, the file's own ticks after an import.
    void fill(const QXFileList& matches, bool imported = false);
    // Empties the document's results.
    void clear();
    // Shows the document's results as they are (their check bits kept), after a document
    // was opened.
    void reload();
    // The records' check bits changed behind the model's back (a check command): recounts
    // and repaints every row.
    void refreshChecks();
    // Flips the check bit of one row; false for a row beyond the list.
    bool toggleCheck(int row);

    // Sorts the results by the column type, groups kept together (see sortResults). The
    // rows keep their places in the view, so nothing scrolls.
    void sortBy(int32_t type, bool ascending);

    // After a duplicate search rows are coloured by their group number, otherwise by row.
    void setGroupColouring(bool on);
    bool groupColouring() const { return m_groupColouring; }

    const QXFileInfoPtr& record(int row) const;
    size_t tickedCount() const { return m_tickedCount; }
    uint64_t tickedSize() const { return m_tickedSize; }
    QXTickCount ticks() const { return {m_tickedCount, m_tickedSize}; }

    // The file-type icon of a record, asked once per record (kIconKnown) and shared
    // between records of one type.
    QIcon iconOf(QXFileInfo& file) const;

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
    void setCheck(QXFileInfo& file, bool checked);

    CQuenrixDoc& m_doc;
    QXColumnLayout m_layout;
    size_t m_tickedCount = 0;
    uint64_t m_tickedSize = 0;
    bool m_groupColouring = false;

    // Icons by file type; a record's iconIndex points in here once kIconKnown is set.
    mutable QFileIconProvider m_iconProvider;
    mutable std::vector<QIcon> m_icons;
    mutable QHash<QString, int32_t> m_iconOfType;
};

}  // namespace quenrix
