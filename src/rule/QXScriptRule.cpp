#include "rule/QXScriptRule.h"

#include "core/QXLog.h"
#include "core/QXPrompt.h"
#include "doc/QXAppSettings.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"
#include "tovy/support_jscript/ScriptSite.h"

namespace quenrix {

namespace {

using tovy::support_jscript::RunEnd;
using tovy::support_jscript::RunResult;
using tovy::support_jscript::ScriptSite;

// Replaces every `from` by `to`, left to right.
void replaceAll(std::wstring& text, std::wstring_view from, std::wstring_view to) {
    size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::wstring::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
}

// Tab and line breaks escaped; `special` (the form's own character) as `escape`.
std::wstring escapeStored(const std::wstring& script, wchar_t special, std::wstring_view escape) {
    std::wstring out;
    out.reserve(script.size() + 16);
    for (size_t i = 0; i < script.size(); ++i) {
        const wchar_t c = script[i];
        if (c == L'\t') {
            out += L"{tab}";
        } else if (c == L'\r' || c == L'\n') {
            if (c == L'\r' && i + 1 < script.size() && script[i + 1] == L'\n') ++i;
            out += L"{br}";
        } else if (c == special) {
            out += escape;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

QXScriptRule::QXScriptRule() : QXRule(ruleKind(ruletype::kScript)->priority) {}

int32_t QXScriptRule::typeId() const {
    return ruletype::kScript;
}

std::wstring QXScriptRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::wstring QXScriptRule::description() const {
    return std::wstring();
}

std::chrono::milliseconds QXScriptRule::timeLimit() {
    const int32_t seconds = QXAppSettings::instance().scriptTimeLimit;
    return std::chrono::milliseconds(seconds > 0 ? int64_t(seconds) * 1000 : 0);
}

bool QXScriptRule::apply(const QXFileList& files, QXRuleHost& host) {
    const size_t n = files.size();
    resetVerdicts(n);
    QXPrompt* prompt = host.prompt();

    ScriptSite::Hooks hooks;
    hooks.cancelled = [&host] { return host.cancelled(); };
    hooks.showMessage = [prompt](const std::wstring& text, const std::wstring& caption) {
        if (prompt) {
            prompt->messageBox(text, caption, QXIcon::None);
        } else {
            QXLog::Write(L"%s : %s", caption.c_str(), text.c_str());
        }
    };
    // Made here, so the engine belongs to the thread that runs the pass.
    ScriptSite site(std::move(hooks), timeLimit());
    site.addItem(tovy::support_jscript::msgBoxItem());
    site.addItem(tovy::support_jscript::targetItem());

    QXScriptErrorReport errors(prompt);
    int last = -1;
    for (size_t i = 0; i < n; ++i) {
        QXFileInfo& file = *files[i];
        if (!file.hasFlag(QXFileInfo::kDecided)) {
            host.showFile(file);
            site.setTarget(&file, host.cache());
            const RunResult result = site.run(m_script, kFunction);
            site.setTarget(nullptr, nullptr);
            if (result.isTrue()) setVerdict(i, true);
            if (result.end != RunEnd::kCancelled) errors.report(result, file.fullPath());
        }
        if (host.cancelled()) return false;
        const int percent = int(100 * (i + 1) / n);
        if (percent != last) {
            last = percent;
            host.report(percent);
        }
    }
    return true;
}

std::shared_ptr<QXRule> QXScriptRule::clone() const {
    auto copy = std::make_shared<QXScriptRule>();
    copy->m_script = m_script;
    copy->m_fresh = m_fresh;
    copyBaseTo(*copy);
    return copy;
}

std::wstring QXScriptRule::escapeForLine(const std::wstring& script) {
    return escapeStored(script, L'=', L"{eq}");
}

std::wstring QXScriptRule::escapeForPair(const std::wstring& script) {
    return escapeStored(script, L'"', L"{q}");
}

std::wstring QXScriptRule::unescapeStored(const std::wstring& stored) {
    std::wstring text = stored;
    replaceAll(text, L"{tab}", L"\t");
    replaceAll(text, L"{br}", L"\r\n");
    replaceAll(text, L"{q}", L"\"");
    replaceAll(text, L"{eq}", L"=");
    return text;
}

std::wstring QXScriptRule::withCrLf(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' || c == L'\n') {
            if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            out += L"\r\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// The escaped script is then quoted like every text setting, so the backslashes of the
// script survive the readers' unescaping.
void QXScriptRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"script", quotePairText(escapeForPair(m_script)));
}

void QXScriptRule::writeOwnLines(std::wstring& out) const {
    appendLine(out, L"script", quoteLineText(escapeForLine(m_script)));
}

bool QXScriptRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"script") setScript(unescapeStored(value));
    return true;
}

bool QXScriptErrorReport::report(const RunResult& result, const std::wstring& path) {
    switch (result.end) {
        case RunEnd::kReturned:
            return true;
        case RunEnd::kError:
            show(result.description, result.source, path);
            break;
        case RunEnd::kNotFound:
        case RunEnd::kNoEngine:
            show(L"スクリプトエラー", L"Error", path);
            break;
        case RunEnd::kTimedOut:
            QXLog::Write(L"QXScriptRule : The script did not return in time and was stopped. (%s)",
                         path.c_str());
            break;
        case RunEnd::kCancelled:
            break;
    }
    return false;
}

void QXScriptErrorReport::show(const std::wstring& text, const std::wstring& caption,
                               const std::wstring& path) {
    QXLog::Write(L"QXScriptRule : %s : %s (%s)", caption.c_str(), text.c_str(), path.c_str());
    // One box per pass: over thousands of files a box for each would never end.
    if (m_failures++ == 0 && m_prompt) m_prompt->messageBox(text, caption, QXIcon::Error);
}

}  // namespace quenrix
