// フォルダを選択してください: a folder tree whose root is one given folder, for choosing
// a folder inside it. It starts with the root selected and lists a folder's subfolders
// when it is opened, by their own bytes, so a name that is not UTF-8 is chosen exactly as
// it is on disk. Symbolic links to folders are not offered (the search never enters
// them). User-interface thread only.
#pragma once

#include <QDialog>

#include <string>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace quenrix {

class QXFolderTreeDlg : public QDialog {
    Q_OBJECT
public:
    // root: a native folder path; a path that is not a folder gives the tree of "/".
    explicit QXFolderTreeDlg(const std::string& root, QWidget* parent = nullptr);

    // Shows the dialog; the chosen folder (native, without a trailing "/" except the
    // root "/"), or empty when cancelled.
    static std::string browse(QWidget* parent, const std::string& root);

    // The native path of the selected folder; empty when none is selected.
    std::string selectedFolder() const;
    // The root the tree shows.
    const std::string& root() const { return m_root; }

    // Opens the tree down to `folder` (native, inside the root) and selects it; false when
    // it is not in the tree.
    bool selectFolder(const std::string& folder);

    QTreeWidget* tree() const { return m_tree; }
    QPushButton* okButton() const { return m_ok; }

private:
    QTreeWidgetItem* makeItem(const std::string& path, const QString& text);
    // Lists the subfolders of the item's folder once.
    void fill(QTreeWidgetItem* item);

    std::string m_root;
    QTreeWidget* m_tree = nullptr;
    QPushButton* m_ok = nullptr;
};

}  // namespace quenrix
