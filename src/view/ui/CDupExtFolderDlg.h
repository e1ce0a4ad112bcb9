// 重複拡張：優先するフォルダを指定: the folder-priority list (path and Subfolder flag,
// highest priority on top), what to do with files in those folders and what to do with
// groups none of them holds. Folders are added through 参照..., which first asks for one
// of the search targets (CDupExtSelectDlg) and then browses the folders under it.
// User-interface thread only.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

#include "view/QXCheckCommands.h"

class QComboBox;
class QPushButton;
class QTreeWidget;

namespace quenrix {

class CDupExtFolderDlg : public QDialog {
    Q_OBJECT
public:
    // targets: the native paths of the document's targets.
    CDupExtFolderDlg(std::vector<std::string> targets, QWidget* parent = nullptr);

    // Valid after OK.
    const QXFolderPriority& priority() const { return m_priority; }

    // Test seams. The target chooser gives an index into the targets or -1 for cancel;
    // the folder browser gets the chosen target (native) and gives a folder under it, or
    // an empty text for cancel. By default the two dialogs are shown.
    using TargetChooser = std::function<int(QWidget* parent, const std::vector<std::string>&)>;
    using FolderBrowser = std::function<std::string(QWidget* parent, const std::string& root)>;
    void setTargetChooser(TargetChooser chooser) { m_chooseTarget = std::move(chooser); }
    void setFolderBrowser(FolderBrowser browser) { m_browseFolder = std::move(browser); }

    // The controls, for tests: list 1051, 参照... 1054, ↑ 1055, ↓ 1056, 削除 1057,
    // 処理： 1052, 当てはまらなかった場合の処理： 1053.
    QTreeWidget* folderList() const { return m_list; }
    QPushButton* browseButton() const { return m_browse; }
    QPushButton* upButton() const { return m_up; }
    QPushButton* downButton() const { return m_down; }
    QPushButton* removeButton() const { return m_remove; }
    QComboBox* actionBox() const { return m_action; }
    QComboBox* otherwiseBox() const { return m_otherwise; }

    void accept() override;

private:
    void onBrowse();
    void onMove(int delta);
    void onRemove();
    void onToggleSubfolder();

    std::vector<std::string> m_targets;
    QXFolderPriority m_priority;
    TargetChooser m_chooseTarget;
    FolderBrowser m_browseFolder;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_up = nullptr;
    QPushButton* m_down = nullptr;
    QPushButton* m_remove = nullptr;
    QComboBox* m_action = nullptr;
    QComboBox* m_otherwise = nullptr;
};

}  // namespace quenrix
