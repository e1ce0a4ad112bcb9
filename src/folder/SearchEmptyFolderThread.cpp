#include "folder/SearchEmptyFolderThread.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "core/QXLog.h"
#include "core/QXProgressSink.h"
#include "folder/SearchEmptyFolderListing.h"
#include "platform/ErrorText.h"
#include "platform/Path.h"
#include "tovy/TovUtf8.h"

namespace Quenrix {

using quenrix::QXLog;

namespace {

const wchar_t kSourceName[] = L"folder\\SearchEmptyFolderProgressDlg";
// The numbers that tell the failing step apart in the log lines.
constexpr int kStepOpenTarget = 101;
constexpr int kStepOpenFolder = 102;
constexpr int kStepList = 103;
constexpr int kStepStat = 104;
// The folder line is a view for the user; faster updates only cost time.
constexpr int64_t kShowIntervalMs = 30;

// A target named by the user may be a mount's root (a USB stick): it is searched, but
// never removed.
bool targetIsMountPoint(int fd, const std::string& path) {
    struct statx stx;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_NO_AUTOMOUNT, 0, &stx) == 0 &&
        (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0) {
        return (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    struct stat self;
    struct stat parent;
    if (::fstat(fd, &self) != 0) return true;
    const std::string up = platform::joinPath(path, std::string(".."));
    if (::stat(up.c_str(), &parent) != 0) return true;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

void logListFailure(int step, int err) {
    QXLog::Write(L"file[%s] line[%d] HRESULT[%08X]", kSourceName, step,
                 platform::hresultFromErrno(err));
}

}  // namespace

SearchEmptyFolderThread::SearchEmptyFolderThread(SearchEmptyFolderJob& job,
                                                 quenrix::QXProgressSink& sink)
    : m_job(job), m_sink(sink) {}

uint32_t SearchEmptyFolderThread::run() {
    m_protected =
        m_job.protectedFolders ? *m_job.protectedFolders : platform::ProtectedFolders::system();
    std::wstring bad;
    std::wstring why;
    if (!m_patterns.compile(m_job.patterns, &bad, &why) ||
        !m_ignoreFiles.compile(m_job.ignoreFiles, &bad, &why)) {
        QXLog::Write(L"SearchEmptyFolderThread : Invalid pattern. [%s] (%s)", bad.c_str(),
                     why.c_str());
        m_error.store(1, std::memory_order_relaxed);
        m_sink.finished();
        return 1;
    }
    for (const std::string& target : m_job.targets) {
        if (halted()) break;
        searchTarget(target);
    }
    m_sink.finished();
    return 0;
}

bool SearchEmptyFolderThread::searchTarget(const std::string& target) {
    platform::FileStat named;
    if (target.empty() || !platform::statPath(target, named)) return false;
    const int fd = openFolderAt(AT_FDCWD, target, /*followLink=*/true);
    if (fd < 0) {
        logListFailure(kStepOpenTarget, errno);
        return false;
    }
    struct stat self;
    bool empty = false;
    if (::fstat(fd, &self) == 0) {
        platform::FileStat st;
        st.dev = self.st_dev;
        st.ino = self.st_ino;
        if (!m_protected.contains(st.dev, st.ino)) {
            const bool mayBeFound =
                !named.isSymlink() && target != "/" && !targetIsMountPoint(fd, target);
            empty = examine(fd, target, std::wstring(), st, mayBeFound);
        }
    }
    ::close(fd);
    return empty;
}

void SearchEmptyFolderThread::showFolder(const std::string& path) {
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    if (now - m_lastShown < kShowIntervalMs) return;
    m_lastShown = now;
    m_sink.setFileLine(tovy::fromUtf8(path));
}

bool SearchEmptyFolderThread::examine(int fd, const std::string& path, const std::wstring& relative,
                                      const platform::FileStat& self, bool mayBeFound) {
    showFolder(path);
    std::vector<SearchEmptyFolderItem> items;
    int err = 0;
    if (!readFolder(fd, items, &err)) {
        logListFailure(kStepList, err);
        return false;
    }

    bool empty = true;
    std::vector<std::wstring> fileNames;
    for (const SearchEmptyFolderItem& item : items) {
        if (halted()) break;
        if (item.statError != 0) {
            empty = false;
            // Gone between the listing and the stat: the folder is changing; it is not
            // empty now, and nothing else is wrong.
            if (item.statError == ENOENT) continue;
            const std::wstring text = platform::errorText(item.statError);
            QXLog::Write(L"%s (%s,%d)", text.c_str(), kSourceName, kStepStat);
            const std::wstring full = tovy::fromUtf8(platform::joinPath(path, item.name));
            QXLog::Write(L"%s", full.c_str());
            m_error.store(1, std::memory_order_relaxed);
            break;
        }
        const platform::FileStat& st = item.st;
        if (st.isDirectory()) {
            // Not entered, so not known to be empty: a protected folder, a mount point.
            if (m_protected.contains(st.dev, st.ino) ||
                isMountPoint(fd, item.name, self.dev, st.dev)) {
                empty = false;
                continue;
            }
            const int child = openFolderAt(fd, item.name);
            if (child < 0) {
                logListFailure(kStepOpenFolder, errno);
                empty = false;
                continue;
            }
            struct stat opened;
            const bool same = ::fstat(child, &opened) == 0 && uint64_t(opened.st_dev) == st.dev &&
                              uint64_t(opened.st_ino) == st.ino;
            const std::wstring childRelative = relative + L"/" + tovy::fromUtf8(item.name);
            if (!same ||
                !examine(child, platform::joinPath(path, item.name), childRelative, st, true)) {
                empty = false;
            }
            ::close(child);
        } else if (st.isRegular()) {
            fileNames.push_back(tovy::fromUtf8(item.name));
        } else {
            // A symbolic link, a FIFO, a socket or a device is something the folder holds.
            empty = false;
        }
    }
    // A folder whose listing was cut short was not examined to its end.
    if (!empty || halted()) return false;
    if (!m_patterns.empty() && !m_patterns.matchesAny(relative)) return false;
    for (const std::wstring& name : fileNames) {
        if (!m_ignoreFiles.matchesAny(name)) return false;
    }
    if (mayBeFound && m_found.insert(FolderId{self.dev, self.ino}).second) {
        SearchEmptyFolderEntry entry;
        entry.path = path;
        entry.dev = self.dev;
        entry.ino = self.ino;
        m_job.found.push_back(std::move(entry));
    }
    return true;
}

}  // namespace Quenrix
