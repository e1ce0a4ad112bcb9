#include "rule/ui/CRuleEditDlg.h"

#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QVBoxLayout>

#include "app/QXQtPrompt.h"

namespace quenrix {

CRuleEditDlg::CRuleEditDlg(const QString& caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(caption);
    auto* ok = named(new QPushButton(QStringLiteral("OK"), this), 1);
    ok->setDefault(true);
    auto* cancel = named(new QPushButton(QStringLiteral("キャンセル"), this), 2);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &CRuleEditDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CRuleEditDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    m_body = new QVBoxLayout;
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_body);
    layout->addLayout(buttons);
    // The dialog keeps the size its controls need.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool CRuleEditDlg::run() {
    adjustSize();
    // Made now, the window knows its frame where the platform tells it before showing.
    create();
    const QPoint cursor = QCursor::pos();
    QRect frame(cursor, frameGeometry().size());
    if (const QScreen* screen = QGuiApplication::screenAt(cursor)) {
        const QRect area = screen->availableGeometry();
        if (frame.right() > area.right()) frame.moveRight(area.right());
        if (frame.bottom() > area.bottom()) frame.moveBottom(area.bottom());
        if (frame.left() < area.left()) frame.moveLeft(area.left());
        if (frame.top() < area.top()) frame.moveTop(area.top());
    }
    // A window that was moved is not centred over its parent when shown.
    move(frame.topLeft());
    return exec() == QDialog::Accepted;
}

void CRuleEditDlg::accept() {
    if (takeInput()) QDialog::accept();
}

void CRuleEditDlg::showInputError(const std::wstring& message, const std::wstring& caption) {
    QXQtPrompt prompt(this);
    prompt.messageBox(message, caption, caption.empty() ? QXIcon::Warning : QXIcon::Information);
}

QComboBox* CRuleEditDlg::makeCombo(int id, const QStringList& items, QWidget* parent) {
    auto* combo = named(new QComboBox(parent), id);
    combo->addItems(items);
    return combo;
}

QLineEdit* CRuleEditDlg::makeDigitsEdit(int id, QWidget* parent) {
    auto* edit = named(new QLineEdit(parent), id);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

void CRuleEditDlg::selectItem(QComboBox* combo, int32_t index) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? int(index) : -1);
}

int32_t CRuleEditDlg::selectedItem(const QComboBox* combo, int32_t previous) {
    const int index = combo->currentIndex();
    return index >= 0 ? int32_t(index) : previous;
}

}  // namespace quenrix
