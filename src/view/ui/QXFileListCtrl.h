// The result list control: a table over QXResultListModel with full-row selection, the
// check box and file icon at the left of each row (a click anywhere in that area flips
// the tick, a double click elsewhere opens the file), selected rows dragged out as a
// file list (text/uri-list), and the right-click menu (開く, フォルダを開く and コピー
// when the selected files share one folder, コピー alone otherwise). The header sorts on
// a click, lets its sections be dragged and asks for the column editor on a right click;
// the owning view does those through the signals. User-interface thread only.
#pragma once

#include <QTableView>

#include <string>
#include <vector>

class QMimeData;

namespace quenrix {

class QXResultListModel;

class QXFileListCtrl : public QTableView {
    Q_OBJECT
public:
    explicit QXFileListCtrl(QWidget* parent = nullptr);

    // The control shows this model (set once).
    void setResultModel(QXResultListModel* model);
    QXResultListModel* resultModel() const { return m_model; }

    // The selected rows in ascending order.
    std::vector<size_t> selectedRows() const;
    // Puts the header sections back in logical order (no headerDragged for that).
    void restoreLogicalOrder();

    // The area of a row left of its label: check box and icon, in viewport coordinates.
    QRect checkArea(int row) const;

    // A file list of native paths as the desktop takes it: text/uri-list (the exact
    // bytes percent-encoded) and the paths as text.
    static QMimeData* fileListData(const std::vector<std::string>& nativePaths);
    // The file: URL of a native path, its bytes kept exactly.
    static QUrl fileUrl(const std::string& nativePath);

signals:
    // A click on a header section (its logical index).
    void headerClicked(int section);
    // The user dropped a dragged header section somewhere else.
    void headerDragged();
    // A right click on the header.
    void headerMenuRequested(const QPoint& globalPos);
    // A click in the check area flipped the tick of a row.
    void tickToggled(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    std::vector<std::string> selectedPaths() const;
    void openFiles(const std::vector<std::string>& nativePaths);

    QXResultListModel* m_model = nullptr;
    int m_pressedRow = -1;       // a press in the check area of this row
    bool m_skipRelease = false;  // the release that ends a double click
    bool m_restoringOrder = false;
};

}  // namespace quenrix
