// エクスポート: the CSV export settings (rows, separator, encoding, quoting, size with
// unit, the output columns in order), fresh with the defaults every time it opens.
// User-interface thread only.
#pragma once

#include <QDialog>

#include "view/QXCsv.h"

class QButtonGroup;
class QCheckBox;
class QListWidget;
class QPushButton;

namespace quenrix {

class CExportCsvSettingDlg : public QDialog {
    Q_OBJECT
public:
    explicit CExportCsvSettingDlg(QWidget* parent = nullptr);

    // What the controls say; valid at any time.
    QXCsvExportSettings settings() const;

    // For tests: 出力: 1078, 未出力: 1079, 追加 → 1080, ← 削除 1081, すべて追加 1082,
    // すべて削除 1083, the radio groups (ids are the values) and the two check boxes.
    QListWidget* outputList() const { return m_output; }
    QListWidget* unusedList() const { return m_unused; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* addAllButton() const { return m_addAll; }
    QPushButton* removeAllButton() const { return m_removeAll; }
    QButtonGroup* rowsGroup() const { return m_rows; }
    QButtonGroup* separatorGroup() const { return m_separator; }
    QButtonGroup* encodingGroup() const { return m_encoding; }
    QCheckBox* quoteBox() const { return m_quote; }
    QCheckBox* unitBox() const { return m_unit; }

private:
    void onAdd();
    void onRemove();
    void onAddAll();
    void onRemoveAll();

    QListWidget* m_output = nullptr;
    QListWidget* m_unused = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_addAll = nullptr;
    QPushButton* m_removeAll = nullptr;
    QButtonGroup* m_rows = nullptr;
    QButtonGroup* m_separator = nullptr;
    QButtonGroup* m_encoding = nullptr;
    QCheckBox* m_quote = nullptr;
    QCheckBox* m_unit = nullptr;
};

}  // namespace quenrix
