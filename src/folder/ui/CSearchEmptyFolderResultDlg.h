// 空フォルダ削除 after the search: the found folders sorted by path without regard to case,
// each with a folder icon and ticked (list 1022); opening it says how many were found.
// OK copies every row's tick into its entry's selected flag; キャンセル leaves them. The
// list and the buttons follow the dialog's size. User-interface thread only.
#pragma once

#include <QDialog>

class QTreeWidget;

namespace Quenrix {
struct SearchEmptyFolderJob;
}

namespace quenrix {

class QXPrompt;

class CSearchEmptyFolderResultDlg : public QDialog {
    Q_OBJECT
public:
    // Sorts the job's found list (ascending) so that its rows and entries correspond.
    CSearchEmptyFolderResultDlg(Quenrix::SearchEmptyFolderJob& job, QXPrompt& prompt,
                                QWidget* parent = nullptr);

    QTreeWidget* folderList() const { return m_list; }

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Quenrix::SearchEmptyFolderJob& m_job;
    QXPrompt& m_prompt;
    QTreeWidget* m_list = nullptr;
    bool m_told = false;
};

}  // namespace quenrix
