#include "folder/ui/CSearchEmptyFolderRemoveDlg.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/QXLog.h"
#include "core/QXPrompt.h"
#include "core/ui/QXQtProgressSink.h"
#include "core/ui/QtText.h"
#include "folder/SearchEmptyFolderFlow.h"
#include "folder/SearchEmptyFolderRemoveThread.h"

namespace quenrix {

CSearchEmptyFolderRemoveDlg::CSearchEmptyFolderRemoveDlg(Quenrix::SearchEmptyFolderJob& job,
                                                         QXPrompt& prompt, bool unattended,
                                                         QWidget* parent)
    : QDialog(parent), m_job(job), m_prompt(prompt), m_unattended(unattended) {
    setWindowTitle(QStringLiteral("空フォルダ削除"));
    m_lines = new QListWidget(this);
    m_lines->setObjectName(QStringLiteral("c1115"));
    m_lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_lines->setMinimumSize(m_lines->fontMetrics().averageCharWidth() * 80,
                            m_lines->fontMetrics().height() * 16);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("c1"));
    m_cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    m_cancel->setObjectName(QStringLiteral("c2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* top = new QVBoxLayout(this);
    top->addWidget(m_lines, 1);
    top->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &CSearchEmptyFolderRemoveDlg::reject);
}

CSearchEmptyFolderRemoveDlg::~CSearchEmptyFolderRemoveDlg() = default;

int CSearchEmptyFolderRemoveDlg::exec() {
    m_sink = std::make_unique<QXQtProgressSink>();
    m_worker = std::make_unique<Quenrix::SearchEmptyFolderRemoveThread>(m_job, *m_sink);
    connect(m_sink.get(), &QXQtProgressSink::lineAppended, this,
            &CSearchEmptyFolderRemoveDlg::addLine);
    connect(m_sink.get(), &QXQtProgressSink::workerFinished, this,
            &CSearchEmptyFolderRemoveDlg::onFinished);
    m_done = false;
    m_failed = false;
    m_ok->setEnabled(false);
    m_cancel->setEnabled(true);
    if (!m_worker->start()) {
        QXLog::Write(L"SearchEmptyFolder : Could not create thread.");
        m_worker.reset();
        m_sink.reset();
        m_failed = true;
        return QDialog::Rejected;
    }
    m_running = true;
    const int result = QDialog::exec();
    if (!m_done) {
        m_worker->stop();
        m_worker->wait();
        m_failed = m_worker->error();
    }
    m_running = false;
    m_worker.reset();
    m_sink.reset();
    return result;
}

void CSearchEmptyFolderRemoveDlg::addLine(const QString& line) {
    m_lines->addItem(line);
    m_lines->scrollToBottom();
    if (m_unattended) {
        const std::u32string units = line.toStdU32String();
        const std::wstring text(units.begin(), units.end());
        QXLog::Write(L"%s", text.c_str());
    }
}

void CSearchEmptyFolderRemoveDlg::reject() {
    if (m_running && !m_done) {
        m_worker->stop();
        m_cancel->setEnabled(false);
        return;
    }
    QDialog::reject();
}

void CSearchEmptyFolderRemoveDlg::onFinished() {
    if (!m_running || m_done) return;
    m_worker->wait();
    m_done = true;
    m_failed = m_worker->error();
    const std::vector<std::wstring> rest = m_worker->takePendingLines();
    for (const std::wstring& line : rest) m_lines->addItem(toQtText(line));
    m_lines->scrollToBottom();
    if (m_unattended) {
        Quenrix::logRemovalEnd(rest, m_failed);
        accept();
        return;
    }
    if (m_failed) {
        m_prompt.messageBox(L"エラーが発生しました", L"Error", QXIcon::Error);
    } else {
        m_prompt.messageBox(L"全て削除しました。", L"Information", QXIcon::Information);
    }
    m_ok->setEnabled(true);
    m_cancel->setEnabled(false);
}

}  // namespace quenrix
