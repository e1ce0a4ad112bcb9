#include "core/QXLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <iterator>

#include "platform/SpecialFolders.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

// Callers write formats the Windows way: in a wide format "%s" and "%c" take wide text,
// "%hs"/"%S" narrow text, and "%I64d" a 64-bit integer. glibc reads "%s" as a narrow
// string, so each conversion is rewritten into its glibc spelling.
std::wstring toLibcFormat(const wchar_t* format) {
    std::wstring out;
    const wchar_t* p = format;
    while (*p) {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        out += *p++;
        if (*p == L'%') {
            out += *p++;
            continue;
        }
        // Argument position, flags, width and precision pass unchanged.
        while (*p && std::wcschr(L"0123456789$-+ #'.*", *p)) out += *p++;

        std::wstring length;
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            length = L"ll";
            p += 3;
        } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
            p += 3;
        } else if (p[0] == L'I') {
            length = L"z";
            ++p;
        }
        while (*p && std::wcschr(L"hlLqjztw", *p)) {
            length += *p == L'w' ? L'l' : *p;
            ++p;
        }

        const wchar_t conversion = *p;
        if (conversion == L's' || conversion == L'c') {
            const bool narrow = length == L"h" || length == L"hh";
            if (!narrow) out += L'l';
            out += conversion;
        } else if (conversion == L'S' || conversion == L'C') {
            const bool wide = length == L"l" || length == L"ll";
            if (wide) out += L'l';
            out += wchar_t(conversion - L'S' + L's');
        } else {
            out += length;
            if (conversion) out += conversion;
        }
        if (conversion) ++p;
    }
    return out;
}

// The formatted message, cut to kBufferUnits - 1 units; empty when formatting fails.
std::wstring formatMessage(const wchar_t* format, va_list args) {
    const std::wstring libcFormat = toLibcFormat(format);
    va_list again;
    va_copy(again, args);

    std::wstring message(QXLog::kBufferUnits, L'\0');
    int written = std::vswprintf(message.data(), message.size(), libcFormat.c_str(), args);
    if (written >= 0) {
        message.resize(size_t(written));
        va_end(again);
        return message;
    }

    // vswprintf gives -1 both for a message longer than the buffer and for a real error.
    // A growing stream tells them apart; a long message keeps its beginning.
    message.clear();
    wchar_t* data = nullptr;
    size_t size = 0;
    if (FILE* stream = open_wmemstream(&data, &size)) {
        written = std::vfwprintf(stream, libcFormat.c_str(), again);
        std::fclose(stream);
        if (written >= 0 && data) message.assign(data, std::min(size, QXLog::kBufferUnits - 1));
        std::free(data);
    }
    va_end(again);
    return message;
}

// "Mon DD HH:MM:SS> " in local time, English month names whatever the locale.
std::wstring linePrefix() {
    static const wchar_t* const kMonths[12] = {L"Jan", L"Feb", L"Mar", L"Apr", L"May", L"Jun",
                                               L"Jul", L"Aug", L"Sep", L"Oct", L"Nov", L"Dec"};
    const time_t now = std::time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    const int month = std::clamp(local.tm_mon, 0, 11);
    wchar_t prefix[64];
    std::swprintf(prefix, std::size(prefix), L"%ls %02d %02d:%02d:%02d> ", kMonths[month],
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return prefix;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool isFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Makes the folder when it is missing; true when it exists afterwards.
bool makeFolder(const std::string& path, mode_t mode) {
    if (::mkdir(path.c_str(), mode) == 0) return true;
    return errno == EEXIST && isFolder(path);
}

// Makes the folder and any missing parents.
bool makeFolders(const std::string& path, mode_t mode) {
    if (isFolder(path)) return true;
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string parent = path.substr(0, slash);
        if (!isFolder(parent) && !makeFolder(parent, mode)) return false;
    }
    return makeFolder(path, mode);
}

}  // namespace

QXLog& QXLog::instance() {
    // Never destroyed: workers may still log while the process exits.
    static QXLog* log = new QXLog;
    return *log;
}

void QXLog::Write(const wchar_t* format, ...) {
    if (!format) return;
    va_list args;
    va_start(args, format);
    WriteV(format, args);
    va_end(args);
}

void QXLog::WriteV(const wchar_t* format, va_list args) {
    if (!format) return;
    QXLog& log = instance();
    std::lock_guard<std::recursive_mutex> guard(log.m_lock);
    if (!log.m_enabled) return;
    log.writeLine(linePrefix() + formatMessage(format, args));
}

void QXLog::writeLine(const std::wstring& line) {
    {
        std::lock_guard<std::mutex> guard(m_queueLock);
        m_queue.push_back(line);
        while (m_queue.size() > kQueueLimit) m_queue.pop_front();
    }
    if (m_deferred) {
        if (!m_pending.empty()) m_pending += L'\n';
        m_pending += line;
    } else {
        m_pending = line;
        flushLocked();
    }
}

void QXLog::Flush() {
    QXLog& log = instance();
    std::lock_guard<std::recursive_mutex> guard(log.m_lock);
    log.flushLocked();
}

void QXLog::flushLocked() {
    if (m_filePath.empty() || m_pending.empty()) return;
    const int fd = ::open(m_filePath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;

    std::wstring text;
    text.reserve(m_pending.size() + 16);
    for (wchar_t c : m_pending) {
        if (c == L'\n') text += L'\r';
        text += c;
    }
    m_pending.clear();
    text += L"\r\n";
    writeAll(fd, tovy::toUtf8(text));
    ::close(fd);
}

void QXLog::setFilePath(const std::string& path) {
    QXLog& log = instance();
    std::lock_guard<std::recursive_mutex> guard(log.m_lock);
    log.m_filePath = path;
}

std::string QXLog::filePath() {
    QXLog& log = instance();
    std::lock_guard<std::recursive_mutex> guard(log.m_lock);
    return log.m_filePath;
}

void QXLog::setEnabled(bool enabled) {
    QXLog& log = instance();
    std::lock_guard<std::recursive_mutex> guard(log.m_lock);
    log.m_enabled = enabled;
}

bool QXLog::enabled() {
    QXLog& log = instance();
    std::lock_guard<std::recursive_mutex> guard(log.m_lock);
    return log.m_enabled;
}

void QXLog::setDeferred(bool deferred) {
    QXLog& log = instance();
    std::lock_guard<std::recursive_mutex> guard(log.m_lock);
    log.m_deferred = deferred;
}

std::vector<std::wstring> QXLog::takeQueued() {
    QXLog& log = instance();
    std::deque<std::wstring> taken;
    {
        std::lock_guard<std::mutex> guard(log.m_queueLock);
        taken.swap(log.m_queue);
    }
    return {std::make_move_iterator(taken.begin()), std::make_move_iterator(taken.end())};
}

void QXLog::clearQueue() {
    QXLog& log = instance();
    std::lock_guard<std::mutex> guard(log.m_queueLock);
    log.m_queue.clear();
}

std::wstring QXLog::escapePercent(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c == L'%') out += L'%';
        out += c;
    }
    return out;
}

std::string QXLog::defaultFilePath() {
    std::string folder = platform::dataFolder();
    // The data folder may not exist yet on a new account; it is made private, as the
    // desktop does.
    if (folder.empty() || !makeFolders(folder, 0700)) return {};
    folder += "/Talvor software";
    if (!makeFolder(folder, 0777)) return {};
    folder += "/Quenrixx";
    if (!makeFolder(folder, 0777)) return {};
    return folder + "/Quenrix.log";
}

}  // namespace quenrix
