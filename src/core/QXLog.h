// The process-wide log. Any thread writes with QXLog::Write, which takes a wide
// printf-style format ("%s" takes a const wchar_t*, "%c" a wchar_t, as on Windows).
// Text the caller did not compose (a path, a user string) goes in as the argument of
// "%s", or through escapePercent, never as the format.
//
// Each line is "Mon DD HH:MM:SS> message" in local time with English month names. It is
// appended to the window queue (bounded: the newest kQueueLimit lines are kept) and at
// once to the log file: opened, appended with every LF as CR LF and a final CR LF, in
// UTF-8 without a byte-order mark, and closed. Messages are cut at kBufferUnits units.
//
// Thread-safe: one recursive lock for each Write; the queue has a lock of its own.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quenrix {

class QXLog {
public:
    static constexpr size_t kBufferUnits = 8192;
    static constexpr size_t kQueueLimit = 100000;

    static QXLog& instance();

    // Formats and writes one line (nothing when the log is disabled or format is null).
    static void Write(const wchar_t* format, ...);
    static void WriteV(const wchar_t* format, va_list args);
    // Appends the pending text to the log file.
    static void Flush();

    // The log file; empty: no file is written.
    static void setFilePath(const std::string& path);
    static std::string filePath();
    static void setEnabled(bool enabled);
    static bool enabled();
    // While set, lines only collect in the pending text (nothing sets it in the program).
    static void setDeferred(bool deferred);

    // Moves every queued line, oldest first, out of the window queue.
    static std::vector<std::wstring> takeQueued();
    // Drops the queued lines (tests).
    static void clearQueue();

    // "%" doubled, for text passed as a format.
    static std::wstring escapePercent(std::wstring_view text);

    // The per-user log file: "Quenrix.log" in "Talvor software/Quenrixx" under the data
    // folder; creates the folders. Empty when they cannot be had.
    static std::string defaultFilePath();

private:
    QXLog() = default;
    void writeLine(const std::wstring& line);
    void flushLocked();

    std::recursive_mutex m_lock;
    std::string m_filePath;
    std::wstring m_pending;
    bool m_enabled = true;
    bool m_deferred = false;

    std::mutex m_queueLock;
    std::deque<std::wstring> m_queue;
};

}  // namespace quenrix
