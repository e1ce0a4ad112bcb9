// Page "一般" of the options sheet: the image plug-in folder, the display and log
// switches and the thumbnail sizes. Edits the sheet's copy of the settings; store()
// writes the controls into it when the sheet is confirmed. User-interface thread only.
//
// Controls carry the object names "c" + their id (c1031 the plug-in folder, c1032 its
// browse button, c1036 grid, c1074 total size, c1075 log, c1106 subfolders at start,
// c1131 / c1130 / c1133 thumbnail width / display size / margin, c1132 no enlarging,
// c1139 cache).
#pragma once

#include <QWidget>

#include <string>

#include "doc/QXAppSettings.h"

class QCheckBox;
class QLineEdit;

namespace quenrix {

class COptionGeneralPage : public QWidget {
    Q_OBJECT
public:
    COptionGeneralPage(QXGeneralSettings& settings, QWidget* parent = nullptr);

    // Writes the controls into the settings.
    void store();

private:
    void onBrowse();

    QXGeneralSettings& m_settings;
    QString m_shownSusiePath;  // the plug-in folder as first shown (its bytes are kept
                               // unless the text changes)
    QLineEdit* m_susiePath = nullptr;
    QCheckBox* m_showGrid = nullptr;
    QCheckBox* m_showTotalFileSize = nullptr;
    QCheckBox* m_logging = nullptr;
    QCheckBox* m_checkSubFolder = nullptr;
    QLineEdit* m_thumbnailSize = nullptr;
    QLineEdit* m_thumbnailDispSize = nullptr;
    QLineEdit* m_thumbnailMargin = nullptr;
    QCheckBox* m_noZoomIn = nullptr;
    QCheckBox* m_cache = nullptr;
};

}  // namespace quenrix
