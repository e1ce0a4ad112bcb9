// Recording stand-ins for the seams between the core and the user interface: a progress
// sink that keeps every call, a prompt that records its boxes and answers from a script,
// and a simple rule kind whose verdicts the test chooses.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/QXProgressSink.h"
#include "core/QXPrompt.h"
#include "rule/QXRule.h"
#include "rule/QXRuleText.h"

namespace quenrix::test {

class RecordingSink : public QXProgressSink {
public:
    struct Bar {
        int percent;
        std::wstring text;
    };
    void setStatusLine(const std::wstring& t) override { add(statusLines, t); }
    void setRuleLine(const std::wstring& t) override { add(ruleLines, t); }
    void setFileLine(const std::wstring& t) override { add(fileLines, t); }
    void setOverall(int p, const std::wstring& t) override {
        std::lock_guard<std::mutex> l(lock);
        overall.push_back({p, t});
    }
    void setTask(int p, const std::wstring& t) override {
        std::lock_guard<std::mutex> l(lock);
        task.push_back({p, t});
    }
    void appendLine(const std::wstring& t) override { add(lines, t); }
    void finished() override {
        std::lock_guard<std::mutex> l(lock);
        ++finishedCount;
    }

    std::mutex lock;
    std::vector<std::wstring> statusLines, ruleLines, fileLines, lines;
    std::vector<Bar> overall, task;
    int finishedCount = 0;

private:
    void add(std::vector<std::wstring>& v, const std::wstring& t) {
        std::lock_guard<std::mutex> l(lock);
        v.push_back(t);
    }
};

class ScriptedPrompt : public QXPrompt {
public:
    struct Box {
        std::wstring text;
        std::wstring caption;
        QXIcon icon;
        QXButtons buttons;
    };
    QXAnswer messageBox(const std::wstring& text, const std::wstring& caption, QXIcon icon,
                        QXButtons buttons) override {
        std::lock_guard<std::mutex> l(lock);
        boxes.push_back({text, caption, icon, buttons});
        if (answers.empty()) return buttons == QXButtons::YesNo ? QXAnswer::Yes : QXAnswer::Ok;
        QXAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::mutex lock;
    std::vector<Box> boxes;
    std::deque<QXAnswer> answers;
};

// A rule whose verdict is chosen by the test: true for the names in `matching` (or by a
// predicate). It records which records it examined and may run a hook on each.
class TestRule : public QXRule {
public:
    explicit TestRule(std::set<std::wstring> matching = {}, int32_t priority = 50,
                      std::wstring label = L"test")
        : QXRule(priority), matching(std::move(matching)), label(std::move(label)) {}

    int32_t typeId() const override { return 100; }
    bool apply(const QXFileList& files, QXRuleHost& host) override {
        return applyEach(files, host, [&](QXFileInfo& f) {
            examined.push_back(f.fileName());
            if (onRecord) onRecord(f);
            return predicate ? predicate(f) : matching.count(f.fileName()) > 0;
        });
    }
    std::wstring description() const override { return L"テスト " + label; }
    std::wstring kindName() const override { return L"テスト"; }
    std::shared_ptr<QXRule> clone() const override {
        auto r = std::make_shared<TestRule>(matching, priority(), label);
        r->pattern = pattern;
        copyBaseTo(*r);
        return r;
    }
    void writeOwnPairs(QXRulePairs& out) const override {
        out.emplace_back(L"pattern", quotePairText(pattern));
    }
    void writeOwnLines(std::wstring& out) const override {
        appendLine(out, L"pattern", quoteLineText(pattern));
    }
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override {
        if (key == L"pattern") pattern = value;
        return true;
    }

    std::set<std::wstring> matching;
    std::wstring label;
    std::wstring pattern;
    std::function<bool(QXFileInfo&)> predicate;
    std::function<void(QXFileInfo&)> onRecord;
    std::vector<std::wstring> examined;
};

}  // namespace quenrix::test
