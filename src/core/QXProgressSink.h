// What a worker tells its progress dialog: the status, rule and file lines, the overall
// and task bars with their percentage texts, appended lines, and that it has finished.
// Workers call it from their own thread; the Qt dialog marshals the calls onto the
// user-interface thread, tests record them, the display-less unattended run logs them.
#pragma once

#include <string>

namespace quenrix {

class QXProgressSink {
public:
    virtual ~QXProgressSink() = default;
    virtual void setStatusLine(const std::wstring& text) = 0;
    virtual void setRuleLine(const std::wstring& text) = 0;
    virtual void setFileLine(const std::wstring& text) = 0;
    virtual void setOverall(int percent, const std::wstring& text) = 0;
    virtual void setTask(int percent, const std::wstring& text) = 0;
    virtual void appendLine(const std::wstring& text) {}
    // The worker's last call; the dialog then waits for the thread and closes.
    virtual void finished() = 0;
};

// A sink that shows nothing.
class QXNullProgressSink : public QXProgressSink {
public:
    void setStatusLine(const std::wstring&) override {}
    void setRuleLine(const std::wstring&) override {}
    void setFileLine(const std::wstring&) override {}
    void setOverall(int, const std::wstring&) override {}
    void setTask(int, const std::wstring&) override {}
    void finished() override {}
};

}  // namespace quenrix
