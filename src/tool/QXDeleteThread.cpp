#include "tool/QXDeleteThread.h"

#include <cerrno>

#include "core/QXLog.h"
#include "platform/FileOps.h"
#include "platform/Trash.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

constexpr int kStepDelete = 101;

}  // namespace

bool QXDeleteThread::ProcessFile(QXFileInfo& record) {
    if (platform::deleteFile(record.nativePath())) return true;
    errorLine(errno, kStepDelete);
    return false;
}

bool QXDeleteRecycleThread::ProcessFile(QXFileInfo& record) {
    std::string why;
    if (platform::moveToTrash(record.nativePath(), &why)) return true;
    QXLog::Write(L"DeleteRecycleThread : Could not move the file to the trash (%s): %s",
                 tovy::fromUtf8(why).c_str(), record.fullPath().c_str());
    return false;
}

}  // namespace quenrix
