// The log's messages (time stamps removed) written while the object lives: the log is
// switched on and written to a file of the capture's own, or to "capture.log" in a
// folder the test names.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/QXLog.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace quenrix::test {

class LogCapture {
public:
    LogCapture() : m_own(std::in_place) { start(*m_own / "capture.log"); }
    explicit LogCapture(const TempDir& dir) { start(dir / "capture.log"); }
    ~LogCapture() { QXLog::setFilePath(""); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::wstring> messages() const {
        std::wstring all = tovy::fromUtf8(readFile(m_path));
        std::vector<std::wstring> out;
        size_t pos = 0;
        while (pos < all.size()) {
            size_t end = all.find(L"\r\n", pos);
            if (end == std::wstring::npos) end = all.size();
            std::wstring line = all.substr(pos, end - pos);
            size_t mark = line.find(L"> ");
            out.push_back(mark == std::wstring::npos ? line : line.substr(mark + 2));
            pos = end + 2;
        }
        return out;
    }
    bool has(const std::wstring& message) const {
        auto m = messages();
        return std::find(m.begin(), m.end(), message) != m.end();
    }
    bool hasPart(const std::wstring& part) const {
        for (const auto& m : messages())
            if (m.find(part) != std::wstring::npos) return true;
        return false;
    }

private:
    void start(std::string path) {
        m_path = std::move(path);
        QXLog::setEnabled(true);
        QXLog::setFilePath(m_path);
    }

    std::optional<TempDir> m_own;
    std::string m_path;
};

}  // namespace quenrix::test
