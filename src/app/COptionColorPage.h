// Page "配色" of the options sheet: the four colours of the result list (text,
// background, odd and even rows) in a list, each changed with the system colour chooser
// on a double click, and a preview of the rows. Edits the sheet's copy of the settings
// as it goes. User-interface thread only.
//
// Controls carry the object names "c" + their id: the list c1033, the preview c1035.
#pragma once

#include <QWidget>

#include <functional>

#include "doc/QXAppSettings.h"

class QListWidget;

namespace quenrix {

class QXPrompt;

class COptionColorPage : public QWidget {
    Q_OBJECT
public:
    // The colour chooser: given the current colour (0x00BBGGRR), returns true with the
    // chosen one. By default the system colour chooser.
    using ColorChooser = std::function<bool(QWidget* parent, uint32_t& color)>;

    COptionColorPage(QXGeneralSettings& settings, QXPrompt& prompt, QWidget* parent = nullptr);

    void setColorChooser(ColorChooser chooser) { m_chooser = std::move(chooser); }
    // What a double click on the list does: changes the selected item's colour, or
    // asks for an item when none is selected.
    void changeSelectedColor();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    uint32_t* colorOfRow(int row);

    QXGeneralSettings& m_settings;
    QXPrompt& m_prompt;
    ColorChooser m_chooser;
    QListWidget* m_list = nullptr;
    QWidget* m_preview = nullptr;
};

}  // namespace quenrix
