// 空フォルダ削除, the options of the empty-folder search: the pattern list (パターンマッチ)
// and the ignore-file list (無視ファイル), each with its edit, its sorted list and 追加 /
// 削除; 検索 starts the search, 保存 only keeps the lists. Both refuse, with a box naming
// it, a pattern that does not compile, so the search never starts with one; 追加 refuses
// it at once. User-interface thread only.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace quenrix {

class QXPrompt;

class CSearchEmptyFolderDlg : public QDialog {
    Q_OBJECT
public:
    CSearchEmptyFolderDlg(const std::vector<std::wstring>& patterns,
                          const std::vector<std::wstring>& ignoreFiles, QXPrompt& prompt,
                          QWidget* parent = nullptr);

    // The lists in the dialog's order, after 検索 or 保存.
    std::vector<std::wstring> patterns() const;
    std::vector<std::wstring> ignoreFiles() const;
    // True when the dialog was left with 保存.
    bool saveOnly() const { return m_saveOnly; }

    void accept() override;  // 検索

private:
    struct Group {
        QLineEdit* edit = nullptr;
        QListWidget* list = nullptr;
    };
    QWidget* makeGroup(const QString& title, Group& group, int editId, int listId, int addId,
                       int removeId, const std::vector<std::wstring>& values);
    void add(Group& group);
    void remove(Group& group);
    bool checked();
    void save();

    QXPrompt& m_prompt;
    Group m_patterns;
    Group m_ignore;
    bool m_saveOnly = false;
};

}  // namespace quenrix
