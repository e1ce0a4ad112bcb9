#include "tool/QXDeleteThreadInterface.h"

#include "core/QXLog.h"
#include "platform/ErrorText.h"
#include "platform/FileOps.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

bool inActionGroup(const QXFileInfo& file) {
    return file.hasFlag(QXFileInfo::kInGroup | QXFileInfo::kSimilarWork1);
}

QXDeleteThreadInterface::QXDeleteThreadInterface(QXProgressSink& sink, bool autoDel)
    : m_sink(sink), m_autoDel(autoDel) {}

QXDeleteThreadInterface::~QXDeleteThreadInterface() = default;

void QXDeleteThreadInterface::errorLine(int err, int step) {
    QXLog::Write(L"%s (%s,%d)", platform::errorText(err).c_str(), kLogSource, step);
    raiseError();
}

void QXDeleteThreadInterface::collectKeptMembers() {
    m_kept.clear();
    if (!removesFile()) return;
    for (const auto& file : m_records) {
        if (file && inActionGroup(*file) && !file->hasFlag(QXFileInfo::kCheck)) {
            m_kept[file->groupNumber].push_back(file.get());
        }
    }
}

bool QXDeleteThreadInterface::mayTouch(const QXFileInfo& record) const {
    if (!platform::stillSameFile(record.nativePath(), record.stat())) {
        QXLog::Write(L"DeleteThread : The file has changed since the search and is left alone: %s",
                     record.fullPath().c_str());
        return false;
    }
    if (!removesFile() || !inActionGroup(record)) return true;
    auto kept = m_kept.find(record.groupNumber);
    if (kept == m_kept.end()) return true;  // the user ticked the whole group
    for (const QXFileInfo* member : kept->second) {
        if (platform::stillSameFile(member->nativePath(), member->stat())) return true;
    }
    QXLog::Write(
        L"DeleteThread : No unticked file of its group is left unchanged, so the file is left "
        L"alone: %s",
        record.fullPath().c_str());
    return false;
}

uint32_t QXDeleteThreadInterface::run() {
    m_current.store(0);
    size_t ticked = 0;
    for (const auto& file : m_records) {
        if (file && file->hasFlag(QXFileInfo::kCheck)) ++ticked;
    }
    collectKeptMembers();

    m_sink.appendLine(L"処理を開始します...");
    m_sink.setOverall(0, std::wstring());
    QXLog::Write(L"削除を開始します");

    uint64_t total = 0;
    uint64_t posted = 0;
    for (size_t i = 0; i < m_records.size(); ++i) {
        QXFileInfo* file = m_records[i].get();
        if (file && file->hasFlag(QXFileInfo::kCheck)) {
            m_current.store(i);
            const bool ok = mayTouch(*file) && ProcessFile(*file);
            if (ok) file->addFlags(QXFileInfo::kDone);
            const std::wstring line =
                file->fullPath() + (ok ? L" を削除しました" : L" を削除することが出来ませんでした");
            if (!m_autoDel) m_sink.appendLine(line);
            QXLog::Write(L"%s", line.c_str());
            total += 100;
            const uint64_t percent = total / ticked;
            if (percent > posted) {
                posted = percent;
                m_sink.setOverall(int(percent), std::wstring());
            }
        }
        if (cancelRequested()) {
            m_sink.appendLine(L"処理を中断しました");
            QXLog::Write(L"処理を中断しました");
            break;
        }
    }
    m_sink.appendLine(L"処理を終了します");
    QXLog::Write(L"処理を終了します");
    m_sink.finished();
    return 0;
}

}  // namespace quenrix
