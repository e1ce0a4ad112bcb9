#include "core/ui/QXQtProgressSink.h"

#include "tovy/TovUtf8.h"

namespace quenrix {

QString toDisplayString(const std::wstring& text) {
    std::wstring shown = text;
    for (wchar_t& c : shown) {
        if (tovy::isEscapedByte(c)) c = L'\uFFFD';
    }
    return QString::fromWCharArray(shown.data(), qsizetype(shown.size()));
}

QXQtProgressSink::QXQtProgressSink(QObject* parent) : QObject(parent) {}

void QXQtProgressSink::setStatusLine(const std::wstring& text) {
    emit statusLineChanged(toDisplayString(text));
}

void QXQtProgressSink::setRuleLine(const std::wstring& text) {
    emit ruleLineChanged(toDisplayString(text));
}

void QXQtProgressSink::setFileLine(const std::wstring& text) {
    emit fileLineChanged(toDisplayString(text));
}

void QXQtProgressSink::setOverall(int percent, const std::wstring& text) {
    emit overallChanged(percent, toDisplayString(text));
}

void QXQtProgressSink::setTask(int percent, const std::wstring& text) {
    emit taskChanged(percent, toDisplayString(text));
}

void QXQtProgressSink::appendLine(const std::wstring& text) {
    emit lineAppended(toDisplayString(text));
}

void QXQtProgressSink::finished() {
    emit workerFinished();
}

}  // namespace quenrix
