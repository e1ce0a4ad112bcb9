// The progress sink of the Qt user interface: every call from a worker thread becomes a
// signal, delivered queued onto the user-interface thread (the thread this object lives
// on), where the progress dialog shows it. Any thread may call the sink methods.
#pragma once

#include <QObject>
#include <QString>

#include "core/QXProgressSink.h"

namespace quenrix {

class QXQtProgressSink : public QObject, public QXProgressSink {
    Q_OBJECT
public:
    explicit QXQtProgressSink(QObject* parent = nullptr);

    void setStatusLine(const std::wstring& text) override;
    void setRuleLine(const std::wstring& text) override;
    void setFileLine(const std::wstring& text) override;
    void setOverall(int percent, const std::wstring& text) override;
    void setTask(int percent, const std::wstring& text) override;
    void appendLine(const std::wstring& text) override;
    void finished() override;

signals:
    void statusLineChanged(const QString& text);
    void ruleLineChanged(const QString& text);
    void fileLineChanged(const QString& text);
    void overallChanged(int percent, const QString& text);
    void taskChanged(int percent, const QString& text);
    void lineAppended(const QString& text);
    void workerFinished();
};

}  // namespace quenrix
