// The ignore list editor ("除外フォルダの設定"): the folder patterns the search does not
// enter, with buttons to add and remove them; a double-click edits an entry. It works on
// its own copy of the patterns; the caller takes patterns() after OK. User-interface
// thread only.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace quenrix {

class QXIgnoreTargetDlg : public QDialog {
    Q_OBJECT
public:
    explicit QXIgnoreTargetDlg(std::vector<std::wstring> patterns, QWidget* parent = nullptr);

    const std::vector<std::wstring>& patterns() const { return m_patterns; }

private:
    void onAdd();
    void onRemove();
    void onEdit(QListWidgetItem* item);
    // Asks for a pattern starting from `text`; empty when cancelled or left empty.
    std::wstring askPattern(const std::wstring& text);
    void rebuild(int current);

    std::vector<std::wstring> m_patterns;
    QListWidget* m_list = nullptr;
};

}  // namespace quenrix
