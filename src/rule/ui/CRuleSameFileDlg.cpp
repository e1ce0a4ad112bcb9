#include "rule/ui/CRuleSameFileDlg.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <array>

#include "app/QXQtPrompt.h"
#include "core/ui/QtText.h"
#include "platform/Path.h"
#include "rule/ui/CDropEdit.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

using Rule = QXSameFileRule;

constexpr std::array<int32_t, Rule::kAlgorithmCount> kAlgorithmOrder = {
    Rule::kExact, Rule::kCrc32, Rule::kMd5,    Rule::kNameAndSize, Rule::kName,
    Rule::kStem,  Rule::kSha1,  Rule::kSha256, Rule::kSha512,      Rule::kXxHash};

int32_t rowOf(int32_t algorithm) {
    for (size_t row = 0; row < kAlgorithmOrder.size(); ++row) {
        if (kAlgorithmOrder[row] == algorithm) return int32_t(row);
    }
    return -1;
}

}  // namespace

CRuleSameFileDlg::CRuleSameFileDlg(QXSameFileRule& rule, QWidget* parent)
    : CRuleEditDlg(QStringLiteral("条件：ファイル一致"), parent), m_rule(rule) {
    QStringList algorithms;
    for (int32_t algorithm : kAlgorithmOrder) {
        algorithms << toQtText(Rule::algorithmLabel(algorithm));
    }
    m_algorithm = makeCombo(1104, algorithms, this);
    m_path = named(new CDropEdit(this), 1105);
    m_path->setMinimumWidth(m_path->fontMetrics().averageCharWidth() * 50);
    auto* browse = named(new QPushButton(QStringLiteral("参照..."), this), 1103);
    browse->setAutoDefault(false);
    connect(browse, &QPushButton::clicked, this, &CRuleSameFileDlg::onBrowse);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("判定処理:"), this), 0, 0);
    grid->addWidget(m_algorithm, 0, 1, Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("パス:"), this), 1, 0);
    grid->addWidget(m_path, 1, 1);
    grid->addWidget(browse, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("↑にドラッグ＆ドロップできます"), this), 2, 1);
    grid->setColumnStretch(1, 1);
    body()->addLayout(grid);

    // Only a confirmed rule has a path; a rule that never had one starts with MD5, the
    // rule's own default being meant for rules made without this dialog.
    selectItem(m_algorithm, rule.path().empty() ? rowOf(Rule::kMd5) : rowOf(rule.algorithm()));
    m_path->setPath(rule.path());
    m_path->setFocus();
}

void CRuleSameFileDlg::onBrowse() {
    const std::wstring previous = m_path->path();
    const std::string native = tovy::toUtf8(previous);
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (CDropEdit::exists(native)) {
        const std::wstring folder = platform::parentPath(platform::stripTrailingSlashes(previous));
        dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(tovy::toUtf8(folder))));
    }
    QString chosen;
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        chosen = dialog.selectedFiles().constFirst();
    }
    if (!chosen.isEmpty()) {
        m_path->setPath(tovy::fromUtf8(QFile::encodeName(chosen).toStdString()));
    } else {
        m_path->setPath(CDropEdit::exists(native) ? previous : std::wstring());
    }
}

bool CRuleSameFileDlg::takeInput() {
    const std::wstring path = m_path->path();
    if (!CDropEdit::exists(tovy::toUtf8(path))) {
        QXQtPrompt prompt(this);
        prompt.messageBox(L"パスが不正です。", L"Error", QXIcon::Error);
        return false;
    }
    const int32_t row = selectedItem(m_algorithm, -1);
    if (row >= 0) m_rule.setAlgorithm(kAlgorithmOrder[size_t(row)]);
    m_rule.setPath(path);
    return true;
}

}  // namespace quenrix
