// The script host: one JavaScript engine (QJSEngine) with the named items added to it,
// which runs a script text and calls one of its functions.
//
// The whole text is evaluated again by every run, so statements outside functions run
// each time, while global variables keep their values from one run to the next for the
// life of the site. The items' members are found without regard to case, and those of
// items flagged kItemGlobalMembers also without the item's name. Functions the script
// declares are its own for the run that declared them.
//
// A run that does not return within the time limit is interrupted, and so is a run
// during which the cancel hook starts answering true; a watch thread of the site looks at
// both while a run is under way. interrupt() may be called from any thread.
//
// Thread rules: made, used and destroyed on one thread (the engine belongs to it);
// interrupt() is the exception. Needs a QCoreApplication; without one every run ends
// with RunEnd::kNoEngine.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "tovy/support_jscript/ScriptItem.h"

class QJSEngine;

namespace quenrix {
class QXFileInfo;
class QXCacheServer;
}  // namespace quenrix

namespace tovy::support_jscript {

enum class RunEnd {
    kReturned,   // the function returned (see RunResult::value)
    kError,      // the engine reported an error: description and source are set
    kNotFound,   // the script has no function of that name
    kTimedOut,   // interrupted by the time limit
    kCancelled,  // interrupted by the cancel hook or interrupt()
    kNoEngine,   // no engine could be made
};

enum class RunValue { kNone, kBoolean, kOther };

struct RunResult {
    RunEnd end = RunEnd::kNoEngine;
    RunValue value = RunValue::kNone;  // what the function returned (kReturned only)
    bool boolean = false;              // its value when it was a boolean
    std::wstring description;          // kError: the error text, with its line
    std::wstring source;               // kError: where it came from ("SyntaxError", ...)

    bool isTrue() const {
        return end == RunEnd::kReturned && value == RunValue::kBoolean && boolean;
    }
};

class ScriptSite {
public:
    struct Hooks {
        // Polled during a run; true interrupts it. May be empty.
        std::function<bool()> cancelled;
        // Shows a message box for MsgBox.Show (text, caption); empty: nothing is shown.
        std::function<void(const std::wstring& text, const std::wstring& caption)> showMessage;
    };

    // timeLimit <= 0: no limit.
    ScriptSite(Hooks hooks, std::chrono::milliseconds timeLimit);
    ~ScriptSite();
    ScriptSite(const ScriptSite&) = delete;
    ScriptSite& operator=(const ScriptSite&) = delete;

    // False when no engine could be made.
    bool ready() const;

    // Registers the item's name with the engine and makes its object.
    void addItem(const ScriptItem& item);

    // Evaluates `script`, then calls its function `function` without arguments.
    RunResult run(const std::wstring& script, const std::wstring& function);

    // Interrupts the run under way, if any; any thread.
    void interrupt();

    // The record "target" reads and the cache its digests go through (may be null).
    void setTarget(quenrix::QXFileInfo* file, quenrix::QXCacheServer* cache) {
        m_target = file;
        m_cache = cache;
    }
    quenrix::QXFileInfo* target() const { return m_target; }
    quenrix::QXCacheServer* cache() const { return m_cache; }

    // For the items: the engine, and a message box shown while the run's clock stands
    // still, so the time the user takes to answer does not count against the limit.
    QJSEngine* engine() const;
    void showMessage(const std::wstring& text, const std::wstring& caption);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    quenrix::QXFileInfo* m_target = nullptr;
    quenrix::QXCacheServer* m_cache = nullptr;
};

}  // namespace tovy::support_jscript
