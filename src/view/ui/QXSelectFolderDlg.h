// Asks for one folder (or folder pattern): a line to type it in and a "..." button that
// opens the folder chooser, starting at the typed folder when it exists. User-interface
// thread only.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace quenrix {

class QXSelectFolderDlg : public QDialog {
    Q_OBJECT
public:
    QXSelectFolderDlg(const QString& title, const QString& text, QWidget* parent = nullptr);

    QString text() const;
    QLineEdit* edit() const { return m_edit; }

private:
    void onBrowse();

    QLineEdit* m_edit = nullptr;
    QPushButton* m_browse = nullptr;
};

}  // namespace quenrix
