#include "core/ui/CRunningDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QVBoxLayout>

#include "core/QXHandleThread.h"
#include "core/ui/QXQtProgressSink.h"

namespace quenrix {

namespace {

// Room for this many average characters on the lines; longer text is elided rather
// than widening the dialog while it runs.
constexpr int kLineChars = 64;

// A one-line label that shows as much of its text as fits its width.
class ElidedLabel : public QLabel {
public:
    ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), m_mode(mode) {
        setTextFormat(Qt::PlainText);  // paths may hold '<' and '&'
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }

    void setFullText(const QString& text) {
        m_full = text;
        refresh();
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QLabel::resizeEvent(e);
        refresh();
    }

private:
    void refresh() {
        const int room = contentsRect().width();
        QLabel::setText(room > 0 ? fontMetrics().elidedText(m_full, m_mode, room) : m_full);
    }

    Qt::TextElideMode m_mode;
    QString m_full;
};

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QProgressBar* newBar(QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

QLabel* newPercent(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("100 %  ")));
    return label;
}

}  // namespace

CRunningDlg::CRunningDlg(QXHandleThread& worker, QXQtProgressSink& sink, QWidget* parent)
    : QDialog(parent), m_worker(worker), m_sink(sink) {
    setWindowTitle(QStringLiteral("しばらくお待ちください"));

    auto* status = new ElidedLabel(Qt::ElideRight, this);
    auto* rule = new ElidedLabel(Qt::ElideRight, this);
    auto* file = new ElidedLabel(Qt::ElideMiddle, this);
    // The file line changes many times a second; its width is fixed so that it, not the
    // text, sets the width of the line column.
    file->setFixedWidth(file->fontMetrics().averageCharWidth() * kLineChars);
    m_status = status;
    m_rule = rule;
    m_file = file;
    m_total = newBar(this);
    m_totalText = newPercent(this);
    m_task = newBar(this);
    m_taskText = newPercent(this);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto* grid = new QGridLayout;
    grid->addWidget(caption(QStringLiteral("Status"), this), 0, 0);
    grid->addWidget(m_status, 0, 1, 1, 2);
    grid->addWidget(caption(QStringLiteral("Rule"), this), 1, 0);
    grid->addWidget(m_rule, 1, 1, 1, 2);
    grid->addWidget(caption(QStringLiteral("File"), this), 2, 0);
    grid->addWidget(m_file, 2, 1, 1, 2);
    grid->addWidget(caption(QStringLiteral("Total"), this), 3, 0);
    grid->addWidget(m_total, 3, 1);
    grid->addWidget(m_totalText, 3, 2);
    grid->addWidget(caption(QStringLiteral("Task"), this), 4, 0);
    grid->addWidget(m_task, 4, 1);
    grid->addWidget(m_taskText, 4, 2);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    buttons->addStretch();

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(buttons);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_cancel, &QPushButton::clicked, this, &CRunningDlg::onCancel);
}

int CRunningDlg::exec() {
    auto* status = static_cast<ElidedLabel*>(m_status);
    auto* rule = static_cast<ElidedLabel*>(m_rule);
    auto* file = static_cast<ElidedLabel*>(m_file);
    // The sink lives on this thread and the worker emits from its own, so every signal
    // arrives queued, in the order it was sent: "finished" comes after everything else.
    connect(&m_sink, &QXQtProgressSink::statusLineChanged, this,
            [status](const QString& t) { status->setFullText(t); });
    connect(&m_sink, &QXQtProgressSink::ruleLineChanged, this,
            [rule](const QString& t) { rule->setFullText(t); });
    connect(&m_sink, &QXQtProgressSink::fileLineChanged, this,
            [file](const QString& t) { file->setFullText(t); });
    connect(&m_sink, &QXQtProgressSink::overallChanged, this, [this](int p, const QString& t) {
        m_total->setValue(p);
        m_totalText->setText(t);
    });
    connect(&m_sink, &QXQtProgressSink::taskChanged, this, [this](int p, const QString& t) {
        m_task->setValue(p);
        m_taskText->setText(t);
    });
    connect(&m_sink, &QXQtProgressSink::workerFinished, this, &CRunningDlg::onFinished);

    m_done = false;
    m_cancel->setEnabled(true);
    if (!m_worker.start()) {
        disconnect(&m_sink, nullptr, this, nullptr);
        return QDialog::Rejected;
    }
    m_running = true;
    const int result = QDialog::exec();
    if (!m_done) {
        // Closed from outside (done() or the application quitting) before the worker
        // finished: it must not outlive the dialog's caller.
        m_worker.cancel();
        m_worker.wait();
    }
    m_running = false;
    disconnect(&m_sink, nullptr, this, nullptr);
    return result;
}

void CRunningDlg::reject() {
    if (!m_running) {
        QDialog::reject();
        return;
    }
    onCancel();
}

void CRunningDlg::onCancel() {
    // The dialog stays open until the worker notices and reports that it has finished.
    m_worker.cancel();
    m_cancel->setEnabled(false);
}

void CRunningDlg::onFinished() {
    if (!m_running || m_done) return;
    // "finished" is the worker's last call, so this wait is only for the thread to end.
    m_worker.wait();
    m_done = true;
    accept();
}

}  // namespace quenrix
