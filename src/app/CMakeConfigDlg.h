// The first-run dialog "初期設定 - Quenrix": asks where the settings file is to be made
// (the configuration folder, a folder named after the user beside the executable, or the
// executable's folder) and shows the folder of the ticked choice. Shown modally at
// start-up when no settings file exists; user-interface thread only.
//
// Controls carry the object names "c" + their id: the choices c1037, c1038, c1039, the
// folder field c1040.
#pragma once

#include <QDialog>

#include "doc/QXAppSettings.h"

class QLineEdit;
class QRadioButton;

namespace quenrix {

class CMakeConfigDlg : public QDialog {
    Q_OBJECT
public:
    explicit CMakeConfigDlg(const QXAppSettings::Places& places, QWidget* parent = nullptr);

    // The ticked choice (QXAppSettings::FolderChoice); a later ticked button wins, none
    // ticked gives the configuration folder.
    int32_t choice() const;

    // Shows the dialog and returns the choice taken with OK, or the configuration folder
    // when the dialog is closed any other way.
    static int32_t ask(const QXAppSettings::Places& places, QWidget* parent = nullptr);

private:
    void showFolder();

    QXAppSettings::Places m_places;
    QRadioButton* m_choices[3] = {};
    QLineEdit* m_folder = nullptr;
};

}  // namespace quenrix
