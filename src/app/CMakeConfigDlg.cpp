#include "app/CMakeConfigDlg.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/ui/QtText.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

constexpr int kChoiceIds[3] = {1037, 1038, 1039};
const char* const kChoiceLabels[3] = {
    "ユーザーのアプリケーションデータフォルダ",
    "実行ファイルがあるフォルダ + ユーザー名",
    "実行ファイルがあるフォルダ",
};

}  // namespace

CMakeConfigDlg::CMakeConfigDlg(const QXAppSettings::Places& places, QWidget* parent)
    : QDialog(parent), m_places(places) {
    setWindowTitle(QStringLiteral("初期設定 - Quenrix"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("設定ファイルを作成する場所を指定してください。"), this));

    auto* group = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        m_choices[i] = new QRadioButton(QString::fromUtf8(kChoiceLabels[i]), this);
        m_choices[i]->setObjectName(QStringLiteral("c%1").arg(kChoiceIds[i]));
        group->addButton(m_choices[i], i);
        layout->addWidget(m_choices[i]);
    }
    m_choices[QXAppSettings::kUserConfig]->setChecked(true);

    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("c1040"));
    m_folder->setReadOnly(true);
    m_folder->setMinimumWidth(360);
    layout->addWidget(m_folder);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(group, &QButtonGroup::idClicked, this, [this] { showFolder(); });
    showFolder();
}

int32_t CMakeConfigDlg::choice() const {
    int32_t result = QXAppSettings::kUserConfig;
    for (int i = 0; i < 3; ++i) {
        if (m_choices[i]->isChecked()) result = i;
    }
    return result;
}

void CMakeConfigDlg::showFolder() {
    const std::string folder = QXAppSettings::choiceFolder(choice(), m_places);
    m_folder->setText(toQtText(tovy::fromUtf8(folder)));
}

int32_t CMakeConfigDlg::ask(const QXAppSettings::Places& places, QWidget* parent) {
    CMakeConfigDlg dialog(places, parent);
    if (dialog.exec() != QDialog::Accepted) return QXAppSettings::kUserConfig;
    return dialog.choice();
}

}  // namespace quenrix
