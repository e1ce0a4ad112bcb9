#include "core/ui/QXQtProgressSink.h"

#include "core/ui/QtText.h"

namespace quenrix {

QXQtProgressSink::QXQtProgressSink(QObject* parent) : QObject(parent) {}

void QXQtProgressSink::setStatusLine(const std::wstring& text) {
    emit statusLineChanged(toQtText(text));
}

void QXQtProgressSink::setRuleLine(const std::wstring& text) {
    emit ruleLineChanged(toQtText(text));
}

void QXQtProgressSink::setFileLine(const std::wstring& text) {
    emit fileLineChanged(toQtText(text));
}

void QXQtProgressSink::setOverall(int percent, const std::wstring& text) {
    emit overallChanged(percent, toQtText(text));
}

void QXQtProgressSink::setTask(int percent, const std::wstring& text) {
    emit taskChanged(percent, toQtText(text));
}

void QXQtProgressSink::appendLine(const std::wstring& text) {
    emit lineAppended(toQtText(text));
}

void QXQtProgressSink::finished() {
    emit workerFinished();
}

}  // namespace quenrix
