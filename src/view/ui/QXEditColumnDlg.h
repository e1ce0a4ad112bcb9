// カラム編集: which catalogue columns the result list shows. One checkable row per column
// type 1 to 45 (the file name is always shown, first); チェックする and チェックをはずす
// tick or untick the selected rows. The chosen layout is the file name followed by the
// ticked types in type order. User-interface thread only.
#pragma once

#include <QDialog>

#include "view/QXColumns.h"

class QListWidget;
class QPushButton;

namespace quenrix {

class QXEditColumnDlg : public QDialog {
    Q_OBJECT
public:
    // current: the layout the list shows now (its types start ticked).
    explicit QXEditColumnDlg(const QXColumnLayout& current, QWidget* parent = nullptr);

    // The layout the rows' ticks give: type 0, then every ticked type ascending.
    QXColumnLayout layout() const;

    // For tests: the list 1096, チェックする 1126, チェックをはずす 1127.
    QListWidget* columnList() const { return m_list; }
    QPushButton* checkButton() const { return m_check; }
    QPushButton* uncheckButton() const { return m_uncheck; }

private:
    void checkSelected(bool check);

    QListWidget* m_list = nullptr;
    QPushButton* m_check = nullptr;
    QPushButton* m_uncheck = nullptr;
};

}  // namespace quenrix
