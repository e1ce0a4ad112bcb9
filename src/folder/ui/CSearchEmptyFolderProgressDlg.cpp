#include "folder/ui/CSearchEmptyFolderProgressDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/QXLog.h"
#include "core/QXPrompt.h"
#include "core/ui/QXQtProgressSink.h"
#include "core/ui/QtText.h"
#include "folder/SearchEmptyFolderThread.h"

namespace quenrix {

CSearchEmptyFolderProgressDlg::CSearchEmptyFolderProgressDlg(Quenrix::SearchEmptyFolderJob& job,
                                                             QXPrompt& prompt, bool unattended,
                                                             QWidget* parent)
    : QDialog(parent), m_job(job), m_prompt(prompt), m_unattended(unattended) {
    setWindowTitle(QStringLiteral("空フォルダ削除"));
    auto* text = new QLabel(QStringLiteral("空フォルダを検索しています..."), this);
    m_folder = new QLabel(this);
    m_folder->setTextFormat(Qt::PlainText);
    m_folder->setFixedWidth(m_folder->fontMetrics().averageCharWidth() * 60);
    m_stop = new QPushButton(QStringLiteral("中止"), this);
    m_stop->setObjectName(QStringLiteral("c2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_stop);
    buttons->addStretch();
    auto* top = new QVBoxLayout(this);
    top->addWidget(text);
    top->addWidget(m_folder);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_stop, &QPushButton::clicked, this, &CSearchEmptyFolderProgressDlg::reject);
}

CSearchEmptyFolderProgressDlg::~CSearchEmptyFolderProgressDlg() = default;

int CSearchEmptyFolderProgressDlg::exec() {
    m_sink = std::make_unique<QXQtProgressSink>();
    m_worker = std::make_unique<Quenrix::SearchEmptyFolderThread>(m_job, *m_sink);
    connect(m_sink.get(), &QXQtProgressSink::fileLineChanged, this, [this](const QString& t) {
        m_folder->setText(
            m_folder->fontMetrics().elidedText(t, Qt::ElideMiddle, m_folder->width()));
    });
    connect(m_sink.get(), &QXQtProgressSink::workerFinished, this,
            &CSearchEmptyFolderProgressDlg::onFinished);
    m_done = false;
    m_stop->setEnabled(true);
    if (!m_worker->start()) {
        QXLog::Write(L"SearchEmptyFolder : Could not create thread.");
        m_worker.reset();
        m_sink.reset();
        return QDialog::Rejected;
    }
    m_running = true;
    int result = QDialog::exec();
    if (!m_done) {
        // Closed from outside before the worker finished: it must not outlive the job.
        m_worker->stop();
        m_worker->wait();
        result = QDialog::Rejected;
    }
    m_running = false;
    m_worker.reset();
    m_sink.reset();
    return result;
}

void CSearchEmptyFolderProgressDlg::reject() {
    if (!m_running) {
        QDialog::reject();
        return;
    }
    m_worker->stop();
    m_stop->setEnabled(false);
}

void CSearchEmptyFolderProgressDlg::onFinished() {
    if (!m_running || m_done) return;
    m_worker->wait();
    m_done = true;
    if (m_worker->error()) {
        if (!m_unattended) m_prompt.messageBox(L"エラーが発生しました", L"Error", QXIcon::Error);
        done(QDialog::Rejected);
        return;
    }
    done(QDialog::Accepted);
}

}  // namespace quenrix
