#include "tool/QXDeleteCopyThread.h"

#include <cerrno>

#include "core/QXLog.h"
#include "platform/ActionPaths.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

constexpr int kStepCopy = 102;
constexpr int kStepMove = 103;
constexpr int kStepCreateFolder = 104;
constexpr int kStepNoTarget = 105;

std::string withoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace

QXDeleteToFolderThread::QXDeleteToFolderThread(QXProgressSink& sink, bool autoDel,
                                               std::string destination, bool move)
    : QXDeleteThreadInterface(sink, autoDel),
      m_destination(withoutTrailingSlash(std::move(destination))),
      m_move(move) {}

bool QXDeleteToFolderThread::placeInto(const QXFileInfo& record, const std::string& folder,
                                       const std::string& name) {
    const bool ok = m_move ? platform::moveToFreeName(record.nativePath(), folder, name)
                           : platform::copyToFreeName(record.nativePath(), folder, name);
    if (!ok) errorLine(errno, m_move ? kStepMove : kStepCopy);
    return ok;
}

bool QXDeleteFlatThread::ProcessFile(QXFileInfo& record) {
    return placeInto(record, destination(), std::string(record.nativeName()));
}

QXDeleteKeepTreeThread::QXDeleteKeepTreeThread(QXProgressSink& sink, bool autoDel,
                                               std::string destination, bool move,
                                               std::vector<QXTargetPtr> targets)
    : QXDeleteToFolderThread(sink, autoDel, std::move(destination), move),
      m_targets(std::move(targets)) {}

bool QXDeleteKeepTreeThread::ProcessFile(QXFileInfo& record) {
    const int32_t index = record.targetIndex;
    const QXTarget* target =
        index >= 0 && size_t(index) < m_targets.size() ? m_targets[size_t(index)].get() : nullptr;
    std::string folder, name, failedFolder;
    if (target && platform::keepTreeFolder(destination(), record.nativePath(), target->path,
                                           &folder, &name, &failedFolder)) {
        return placeInto(record, folder, name);
    }
    const int err = errno;
    if (!failedFolder.empty()) {
        QXLog::Write(L"DeleteThread : Could not create the folder: %s",
                     tovy::fromUtf8(failedFolder).c_str());
        errorLine(err, kStepCreateFolder);
    } else {
        QXLog::Write(L"DeleteThread : The file lies below none of the search targets: %s",
                     record.fullPath().c_str());
        errorLine(EINVAL, kStepNoTarget);
    }
    return false;
}

}  // namespace quenrix
