#include "folder/SearchEmptyFolderFlow.h"

#include "core/QXLog.h"
#include "core/QXProgressSink.h"
#include "folder/SearchEmptyFolderRemoveThread.h"
#include "folder/SearchEmptyFolderThread.h"

namespace Quenrix {

using quenrix::QXLog;

namespace {

// Writes every removal line to the log as it comes.
class LogLinesSink : public quenrix::QXNullProgressSink {
public:
    void appendLine(const std::wstring& text) override { QXLog::Write(L"%s", text.c_str()); }
};

}  // namespace

void logRemovalEnd(const std::vector<std::wstring>& remaining, bool error) {
    for (const std::wstring& line : remaining) QXLog::Write(L"%s", line.c_str());
    if (error) {
        QXLog::Write(L"Error > 空フォルダ削除中にエラーが発生しました。");
    } else {
        QXLog::Write(L"空フォルダを全て削除しました。");
    }
}

bool runSearchEmptyFolderUnattended(SearchEmptyFolderJob& job) {
    job.found.clear();
    {
        quenrix::QXNullProgressSink sink;
        SearchEmptyFolderThread search(job, sink);
        if (!search.start()) {
            QXLog::Write(L"SearchEmptyFolder : Could not create thread.");
            return false;
        }
        search.wait();
        if (search.error()) return false;
    }
    if (job.found.empty()) {
        QXLog::Write(L"空フォルダが見つかりませんでした。");
        return true;
    }
    for (SearchEmptyFolderEntry& entry : job.found) entry.selected = true;
    LogLinesSink sink;
    SearchEmptyFolderRemoveThread removal(job, sink);
    if (!removal.start()) {
        QXLog::Write(L"SearchEmptyFolder : Could not create thread.");
        logRemovalEnd({}, true);
        return true;
    }
    removal.wait();
    logRemovalEnd(removal.takePendingLines(), removal.error());
    return true;
}

}  // namespace Quenrix
