// The options sheet "オプション": pages "一般" and "配色" over a copy of the stored
// settings block. OK writes the pages into the copy and accepts; cancel leaves the
// caller's settings untouched. User-interface thread only.
//
// The main frame runs it for the command ツール > オプション... and then applies the
// result with applyOptions().
#pragma once

#include <QColor>
#include <QDialog>

#include "app/QXQtPrompt.h"
#include "doc/QXAppSettings.h"

class QTabWidget;

namespace quenrix {

class COptionColorPage;
class COptionGeneralPage;

// Colour values 0x00BBGGRR to and from Qt colours.
inline QColor toQColor(uint32_t color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}
inline uint32_t fromQColor(const QColor& color) {
    return uint32_t(color.red()) | (uint32_t(color.green()) << 8) | (uint32_t(color.blue()) << 16);
}

class COptionSheet : public QDialog {
    Q_OBJECT
public:
    explicit COptionSheet(const QXGeneralSettings& settings, QWidget* parent = nullptr);
    ~COptionSheet() override;

    // The edited copy; after OK it holds the confirmed values.
    const QXGeneralSettings& settings() const { return m_settings; }
    COptionGeneralPage* generalPage() const { return m_general; }
    COptionColorPage* colorPage() const { return m_colors; }
    QTabWidget* tabs() const { return m_tabs; }

    void accept() override;

private:
    QXGeneralSettings m_settings;
    QXQtPrompt m_prompt;
    QTabWidget* m_tabs = nullptr;
    COptionGeneralPage* m_general = nullptr;
    COptionColorPage* m_colors = nullptr;
};

// What OK of the sheet does to the program's settings: copies the edited block into
// them, switches the log after Logging and saves the settings file. When the image
// plug-in folder changed it unloads every plug-in and loads those of the new folder, and
// returns true.
bool applyOptions(QXAppSettings& settings, const QXGeneralSettings& edited);

}  // namespace quenrix
