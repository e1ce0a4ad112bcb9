// フォルダを選択してください: picks one of the search targets (list box 1096); OK without a
// selection says so and stays open. User-interface thread only.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

class QListWidget;

namespace quenrix {

class CDupExtSelectDlg : public QDialog {
    Q_OBJECT
public:
    CDupExtSelectDlg(const std::vector<std::string>& targets, QWidget* parent = nullptr);

    // The chosen index after OK, else -1.
    int selectedIndex() const { return m_selected; }
    QListWidget* targetList() const { return m_list; }

    void accept() override;

private:
    QListWidget* m_list = nullptr;
    int m_selected = -1;
};

}  // namespace quenrix
