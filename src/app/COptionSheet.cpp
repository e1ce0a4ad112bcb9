#include "app/COptionSheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/COptionColorPage.h"
#include "app/COptionGeneralPage.h"
#include "core/QXLog.h"
#include "tovy/TovUtf8.h"
#include "tovy/support_susie/PluginManager.h"

namespace quenrix {

COptionSheet::COptionSheet(const QXGeneralSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_prompt(this) {
    setWindowTitle(QStringLiteral("オプション"));
    m_tabs = new QTabWidget(this);
    m_general = new COptionGeneralPage(m_settings, m_tabs);
    m_colors = new COptionColorPage(m_settings, m_prompt, m_tabs);
    m_tabs->addTab(m_general, QStringLiteral("一般"));
    m_tabs->addTab(m_colors, QStringLiteral("配色"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}

COptionSheet::~COptionSheet() = default;

void COptionSheet::accept() {
    m_general->store();
    QDialog::accept();
}

bool applyOptions(QXAppSettings& settings, const QXGeneralSettings& edited) {
    const bool pluginFolderChanged = settings.susiePath != edited.susiePath;
    settings.general() = edited;
    QXLog::setEnabled(settings.logging != 0);
    if (!settings.save()) {
        QXLog::Write(L"設定ファイルを保存できませんでした。");
    }
    if (pluginFolderChanged) {
        tovy::support_susie::PluginManager& plugins = tovy::support_susie::pluginHost();
        plugins.UnloadAll();
        plugins.LoadFolder(tovy::fromUtf8(settings.susiePath));
    }
    return pluginFolderChanged;
}

}  // namespace quenrix
