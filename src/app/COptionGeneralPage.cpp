#include "app/COptionGeneralPage.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "core/ui/QtText.h"
#include "doc/QXIniFile.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

template <class W>
W* named(W* widget, int id) {
    widget->setObjectName(QStringLiteral("c%1").arg(id));
    return widget;
}

// Digits only; the value is taken as it stands.
QLineEdit* numberField(QWidget* parent, int id, int32_t value) {
    auto* edit = named(new QLineEdit(QString::number(value), parent), id);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setMaximumWidth(80);
    return edit;
}

int32_t numberOf(const QLineEdit* edit) {
    return QXIniFile::parseInt(edit->text().toStdString());
}

}  // namespace

COptionGeneralPage::COptionGeneralPage(QXGeneralSettings& settings, QWidget* parent)
    : QWidget(parent), m_settings(settings) {
    m_shownSusiePath = toQtText(tovy::fromUtf8(settings.susiePath));
    m_susiePath = named(new QLineEdit(m_shownSusiePath, this), 1031);
    auto* browse = named(new QPushButton(QStringLiteral("参照..."), this), 1032);
    connect(browse, &QPushButton::clicked, this, &COptionGeneralPage::onBrowse);

    auto check = [this](int id, const char* text, bool on) {
        auto* box = named(new QCheckBox(QString::fromUtf8(text), this), id);
        box->setChecked(on);
        return box;
    };
    m_showGrid = check(1036, "グリッドを表示する", settings.showGrid != 0);
    m_showTotalFileSize =
        check(1074, "削除ファイルの総ｻｲｽﾞを表示する", settings.showTotalFileSize != 0);
    m_logging = check(1075, "ログを出力する", settings.logging != 0);
    m_checkSubFolder =
        check(1106, "起動時、サブフォルダも対象を有効にする", settings.checkSubFolder != 0);
    m_thumbnailSize = numberField(this, 1131, settings.thumbnailSize);
    m_thumbnailDispSize = numberField(this, 1130, settings.thumbnailDispSize);
    m_thumbnailMargin = numberField(this, 1133, settings.thumbnailMargin);
    m_noZoomIn = check(1132, "拡大表示はしない", settings.enableZoomIn == 0);
    m_cache = check(1139, "キャッシュ", settings.cache != 0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Susie プラグインのフォルダ :"), this));
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_susiePath, 1);
    pathRow->addWidget(browse);
    layout->addLayout(pathRow);
    for (QCheckBox* box : {m_showGrid, m_showTotalFileSize, m_logging, m_checkSubFolder}) {
        layout->addWidget(box);
    }
    auto* numbers = new QGridLayout;
    numbers->addWidget(new QLabel(QStringLiteral("サムネイルの幅 :"), this), 0, 0);
    numbers->addWidget(m_thumbnailSize, 0, 1);
    numbers->addWidget(new QLabel(QStringLiteral("サムネイルの表示サイズ :"), this), 1, 0);
    numbers->addWidget(m_thumbnailDispSize, 1, 1);
    numbers->addWidget(new QLabel(QStringLiteral("サムネイルマージン :"), this), 2, 0);
    numbers->addWidget(m_thumbnailMargin, 2, 1);
    numbers->setColumnStretch(2, 1);
    layout->addLayout(numbers);
    layout->addWidget(m_noZoomIn);
    layout->addWidget(m_cache);
    layout->addStretch(1);
}

void COptionGeneralPage::store() {
    // A folder name that is not valid UTF-8 cannot pass through the edit unchanged; its
    // bytes are kept as long as the text was not touched.
    if (m_susiePath->text() != m_shownSusiePath) {
        m_settings.susiePath = tovy::toUtf8(m_susiePath->text().toStdWString());
    }
    m_settings.showGrid = m_showGrid->isChecked() ? 1 : 0;
    m_settings.showTotalFileSize = m_showTotalFileSize->isChecked() ? 1 : 0;
    m_settings.logging = m_logging->isChecked() ? 1 : 0;
    m_settings.checkSubFolder = m_checkSubFolder->isChecked() ? 1 : 0;
    m_settings.thumbnailSize = numberOf(m_thumbnailSize);
    m_settings.thumbnailDispSize = numberOf(m_thumbnailDispSize);
    m_settings.thumbnailMargin = numberOf(m_thumbnailMargin);
    m_settings.enableZoomIn = m_noZoomIn->isChecked() ? 0 : 1;
    m_settings.cache = m_cache->isChecked() ? 1 : 0;
}

void COptionGeneralPage::onBrowse() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("フォルダを選択してください"),
                                          m_susiePath->text(), QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty()) m_susiePath->setText(folder);
}

}  // namespace quenrix
