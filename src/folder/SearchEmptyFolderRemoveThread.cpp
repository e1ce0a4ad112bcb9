#include "folder/SearchEmptyFolderRemoveThread.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/QXLog.h"
#include "core/QXProgressSink.h"
#include "folder/SearchEmptyFolderListing.h"
#include "platform/ErrorText.h"
#include "platform/Path.h"
#include "platform/UniqueFd.h"
#include "tovy/TovUtf8.h"

namespace Quenrix {

using quenrix::QXLog;

namespace {

const wchar_t kSourceName[] = L"folder\\SearchEmptyFolderRemoveDlg";
constexpr int kStepDeleteFile = 201;
constexpr int kStepRemoveFolder = 202;

using Fd = platform::UniqueFd;

void logSystemError(int err, int step) {
    const std::wstring text = platform::errorText(err);
    QXLog::Write(L"%s (%s,%d)", text.c_str(), kSourceName, step);
}

bool sameEntry(int dirFd, const std::string& name, uint64_t dev, uint64_t ino) {
    platform::FileStat now;
    return platform::statAt(dirFd, name.c_str(), now) && now.dev == dev && now.ino == ino;
}

}  // namespace

SearchEmptyFolderRemoveThread::SearchEmptyFolderRemoveThread(SearchEmptyFolderJob& job,
                                                             quenrix::QXProgressSink& sink)
    : m_job(job), m_sink(sink) {}

std::vector<std::wstring> SearchEmptyFolderRemoveThread::takePendingLines() {
    std::vector<std::wstring> lines;
    lines.swap(m_pending);
    return lines;
}

uint32_t SearchEmptyFolderRemoveThread::run() {
    m_protected =
        m_job.protectedFolders ? *m_job.protectedFolders : platform::ProtectedFolders::system();
    std::wstring bad;
    std::wstring why;
    if (!m_ignoreFiles.compile(m_job.ignoreFiles, &bad, &why)) {
        QXLog::Write(L"SearchEmptyFolderRemoveThread : Invalid pattern. [%s] (%s)", bad.c_str(),
                     why.c_str());
        fail();
        m_sink.finished();
        return 1;
    }
    m_job.sortFound(/*ascending=*/false);
    for (SearchEmptyFolderEntry& entry : m_job.found) {
        if (entry.selected) {
            const bool removed = removeFolder(entry);
            entry.result =
                removed ? SearchEmptyFolderEntry::kRemoved : SearchEmptyFolderEntry::kFailed;
            const std::wstring path = tovy::fromUtf8(entry.path);
            if (removed) {
                addLine(path + L"... Removed");
            } else {
                addLine(path + L"... Error (削除出来ませんでした)");
                fail();
            }
        }
        if (stopRequested()) break;
        for (std::wstring& line : takePendingLines()) m_sink.appendLine(line);
    }
    m_sink.finished();
    return 0;
}

bool SearchEmptyFolderRemoveThread::removeFolder(const SearchEmptyFolderEntry& entry) {
    const std::string path = platform::stripTrailingSlashes(entry.path);
    const size_t slash = path.rfind('/');
    // Only a folder below some other folder is ever removed ("/" never is).
    if (slash == std::string::npos || slash + 1 >= path.size()) return false;
    const std::string parent = slash == 0 ? std::string("/") : path.substr(0, slash);
    const std::string name = path.substr(slash + 1);

    // A folder that has vanished fails without a line of its own.
    Fd parentFd(openFolderAt(AT_FDCWD, parent, /*followLink=*/true));
    if (!parentFd.ok()) return false;
    Fd fd(openFolderAt(parentFd.get(), name));
    if (!fd.ok()) return false;
    struct stat self;
    struct stat up;
    if (::fstat(fd.get(), &self) != 0 || ::fstat(parentFd.get(), &up) != 0) return false;
    const std::wstring widePath = tovy::fromUtf8(path);
    if (uint64_t(self.st_dev) != entry.dev || uint64_t(self.st_ino) != entry.ino) {
        QXLog::Write(L"SearchEmptyFolderRemoveThread : Not the folder the search found. (%s)",
                     widePath.c_str());
        return false;
    }
    if (m_protected.contains(self.st_dev, self.st_ino) ||
        isMountPoint(parentFd.get(), name, up.st_dev, self.st_dev)) {
        QXLog::Write(L"SearchEmptyFolderRemoveThread : Protected folder or mount point. (%s)",
                     widePath.c_str());
        return false;
    }

    std::vector<SearchEmptyFolderItem> items;
    int err = 0;
    if (!readFolder(fd.get(), items, &err)) return false;

    for (const SearchEmptyFolderItem& item : items) {
        if (item.statError == 0 && item.st.isDirectory()) {
            addLine(tovy::fromUtf8(platform::joinPath(path, item.name)) +
                    L"... Error (ディレクトリが残っています)");
            return false;
        }
    }
    // The search ran a while ago: only what still matches the ignore-file list may go.
    for (const SearchEmptyFolderItem& item : items) {
        if (item.statError == ENOENT) continue;
        const std::wstring name = tovy::fromUtf8(item.name);
        if (item.statError != 0 || !item.st.isRegular() || !m_ignoreFiles.matchesAny(name)) {
            addLine(tovy::fromUtf8(platform::joinPath(path, item.name)) +
                    L"... Error (ファイルが残っています)");
            return false;
        }
    }
    for (const SearchEmptyFolderItem& item : items) {
        if (item.statError != 0) continue;
        const std::wstring filePath = tovy::fromUtf8(platform::joinPath(path, item.name));
        platform::FileStat now;
        int statErr = 0;
        if (!platform::statAt(fd.get(), item.name.c_str(), now, &statErr)) {
            if (statErr == ENOENT) continue;  // already gone
            now = platform::FileStat{};
        }
        // Replaced since the listing: whatever is there now was not checked.
        if (!now.isRegular() || now.dev != item.st.dev || now.ino != item.st.ino) {
            addLine(filePath + L"... Error (ファイルが残っています)");
            return false;
        }
        int removeErr = 0;
        if (now.attributes & platform::FILE_ATTRIBUTE_READONLY) {
            removeErr = EACCES;  // refused as the delete action refuses it
        } else if (::unlinkat(fd.get(), item.name.c_str(), 0) != 0) {
            removeErr = errno;
        }
        if (removeErr != 0) {
            logSystemError(removeErr, kStepDeleteFile);
            addLine(filePath + L"... Error (削除できませんでした)");
            fail();
            return false;
        }
        addLine(filePath + L"... Removed");
    }
    if (!sameEntry(parentFd.get(), name, entry.dev, entry.ino)) return false;
    if (::unlinkat(parentFd.get(), name.c_str(), AT_REMOVEDIR) != 0) {
        logSystemError(errno, kStepRemoveFolder);
        return false;
    }
    return true;
}

}  // namespace Quenrix
