#include "tool/ui/CFileDeleteDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/QXQtPrompt.h"
#include "core/QXPrompt.h"
#include "core/ui/QXQtProgressSink.h"
#include "doc/QXAppSettings.h"
#include "tool/QXActionModes.h"
#include "tool/QXDeleteThreadInterface.h"

namespace quenrix {

CFileDeleteDlg::CFileDeleteDlg(QXDeleteThreadInterface& worker, QXQtProgressSink& sink, int mode,
                               QXPrompt& prompt, QWidget* parent)
    : QDialog(parent), m_worker(worker), m_sink(sink), m_mode(mode), m_prompt(prompt) {
    setWindowTitle(QStringLiteral("処理しています"));
    setSizeGripEnabled(true);

    m_wait = new QLabel(QStringLiteral("しばらくお待ちください..."), this);
    m_wait->setObjectName(QStringLiteral("c1101"));
    m_modeText = new QLabel(this);
    m_modeText->setObjectName(QStringLiteral("c1099"));
    m_modeText->setTextFormat(Qt::PlainText);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("c1041"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_lines = new QListWidget(this);
    m_lines->setObjectName(QStringLiteral("c1100"));
    m_lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_lines->setUniformItemSizes(true);
    m_lines->setMinimumSize(m_lines->fontMetrics().averageCharWidth() * 72,
                            m_lines->fontMetrics().height() * 12);
    m_button = new QPushButton(QStringLiteral("キャンセル"), this);
    m_button->setObjectName(QStringLiteral("c2"));
    m_button->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_button);
    buttons->addStretch();

    // The list takes whatever the dialog grows by.
    auto* top = new QVBoxLayout(this);
    top->addWidget(m_wait);
    top->addWidget(m_modeText);
    top->addWidget(m_progress);
    top->addWidget(m_lines, 1);
    top->addLayout(buttons);

    connect(m_button, &QPushButton::clicked, this, &CFileDeleteDlg::onButton);
}

void CFileDeleteDlg::appendLine(const QString& text) {
    m_lines->addItem(text);
    // The list view sizes its items by their text, so a line wider than the list gives it
    // a horizontal scroll bar reaching the line's end; the widest width is kept to say so.
    m_widest = std::max(m_widest, m_lines->fontMetrics().horizontalAdvance(text));
    m_lines->scrollToBottom();
}

int CFileDeleteDlg::exec() {
    const QXActionMode* entry = actionMode(m_mode);
    if (m_mode < kModeEmptyFolders && entry && entry->dialogText) {
        m_modeText->setText(QString::fromWCharArray(entry->dialogText));
    }
    connect(&m_sink, &QXQtProgressSink::lineAppended, this, &CFileDeleteDlg::appendLine);
    connect(&m_sink, &QXQtProgressSink::overallChanged, this,
            [this](int percent, const QString&) { m_progress->setValue(percent); });
    connect(&m_sink, &QXQtProgressSink::workerFinished, this, &CFileDeleteDlg::onFinished);

    m_done = false;
    if (!m_worker.start()) {
        disconnect(&m_sink, nullptr, this, nullptr);
        return QDialog::Rejected;
    }
    m_running = true;
    const int result = QDialog::exec();
    if (!m_done) {
        // Closed from outside before the worker finished: it must not outlive the caller.
        m_worker.cancel();
        m_worker.wait();
    }
    m_running = false;
    disconnect(&m_sink, nullptr, this, nullptr);
    return result;
}

void CFileDeleteDlg::reject() {
    if (!m_running || m_done) {
        QDialog::reject();
        return;
    }
    onButton();
}

void CFileDeleteDlg::onButton() {
    if (m_done || !m_running) {
        accept();
        return;
    }
    if (m_worker.cancelRequested()) return;
    appendLine(QStringLiteral("処理を中断しています..."));
    m_worker.cancel();
}

void CFileDeleteDlg::onFinished() {
    if (!m_running || m_done) return;
    m_wait->setText(QStringLiteral("終了"));
    m_button->setText(QStringLiteral("確認"));
    setWindowTitle(QStringLiteral("処理しました"));
    // "finished" is the worker's last call, so this wait is only for the thread to end.
    m_worker.wait();
    m_done = true;
    const bool autoDel = QXAppSettings::instance().cmdAutoDel != 0;
    if (m_worker.error()) {
        m_prompt.messageBox(L"エラーが発生しました", L"Error", QXIcon::Error, QXButtons::Ok);
        // Without a display nobody could press 確認: the box went to the log, and the
        // unattended run goes on.
        if (autoDel && QXQtPrompt::logOnly()) accept();
    } else if (autoDel) {
        accept();
    }
}

}  // namespace quenrix
