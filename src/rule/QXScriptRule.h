// The script rule: a file matches when the user's script, run for it, returns true from
// its function "Main". The script reads the file through the global object "target"
// (whose members can also be used without "target.") and may show boxes with
// MsgBox.Show; it runs on the search worker in an engine made for the rule pass
// (tovy/support_jscript). The whole text is evaluated again for every file, so global
// variables keep their values from one file to the next within one pass.
//
// A run that has not returned after the time limit (the ScriptTimeLimit setting) is
// interrupted, logged with the file's path and counts as no match; Cancel interrupts the
// run under way and ends the pass. Script errors count as no match: the first error of a
// pass is shown in a box, every later one of the same pass goes to the log only.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <chrono>
#include <string>

#include "rule/QXRule.h"

namespace tovy::support_jscript {
struct RunResult;
}

namespace quenrix {

class QXPrompt;

class QXScriptRule : public QXRule {
public:
    // The script of a rule made without the dialog, and the one the dialog offers for a
    // new rule.
    static constexpr const wchar_t* kDefaultScript =
        L"function Main() {\r\n\treturn true;\r\n\r\n}\r\n";
    static constexpr const wchar_t* kDialogScript =
        L"function Main() {\r\n\r\n\treturn true;\r\n\r\n}\r\n";
    static constexpr const wchar_t* kFunction = L"Main";

    QXScriptRule();

    int32_t typeId() const override;
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    // Empty: the script is not shown in the rule list.
    std::wstring description() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    void writeOwnPairs(QXRulePairs& out) const override;  // script
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    const std::wstring& script() const { return m_script; }
    void setScript(std::wstring script) {
        m_script = std::move(script);
        m_fresh = false;
    }
    // True while the rule holds the default script it was made with (a rule being added).
    bool fresh() const { return m_fresh; }

    // How long one run may take, from the ScriptTimeLimit setting (seconds; 0 or less:
    // no limit).
    static std::chrono::milliseconds timeLimit();

    // The stored form's escapes. Line form: tab "{tab}", line break "{br}", "=" "{eq}";
    // pair form: tab "{tab}", line break "{br}", double quote "{q}". A line break is CR LF,
    // a lone CR or LF is stored as one too, so no stored line is ever cut. Reading turns
    // "{tab}", "{br}", "{q}" and "{eq}" back, in that order.
    static std::wstring escapeForLine(const std::wstring& script);
    static std::wstring escapeForPair(const std::wstring& script);
    static std::wstring unescapeStored(const std::wstring& stored);

    // The edit control's text as the rule keeps it: every line break CR LF.
    static std::wstring withCrLf(const std::wstring& text);

private:
    std::wstring m_script = kDefaultScript;
    bool m_fresh = true;
};

// Reports the failed runs of one rule pass or test run: the first failure in a box
// (through `prompt`, when there is one), and every failure with the file's path in the
// log. Timed-out runs are only logged.
class QXScriptErrorReport {
public:
    explicit QXScriptErrorReport(QXPrompt* prompt) : m_prompt(prompt) {}

    // Reports `result` when it is a failure; false when the run failed.
    bool report(const tovy::support_jscript::RunResult& result, const std::wstring& path);
    int failures() const { return m_failures; }

private:
    void show(const std::wstring& text, const std::wstring& caption, const std::wstring& path);

    QXPrompt* m_prompt;
    int m_failures = 0;
};

}  // namespace quenrix
