// The script host for the fuzz build, which links no Qt: no engine is ever made, so
// every script run ends with RunEnd::kNoEngine. Enough for the readers, which only make
// script rules and read their stored form.
#include "tovy/support_jscript/ScriptSite.h"

namespace tovy::support_jscript {

struct ScriptSite::Impl {};

ScriptSite::ScriptSite(Hooks, std::chrono::milliseconds) : m_impl(std::make_unique<Impl>()) {}
ScriptSite::~ScriptSite() = default;
bool ScriptSite::ready() const {
    return false;
}
void ScriptSite::addItem(const ScriptItem&) {}
RunResult ScriptSite::run(const std::wstring&, const std::wstring&) {
    return RunResult();
}
void ScriptSite::interrupt() {}
QJSEngine* ScriptSite::engine() const {
    return nullptr;
}
void ScriptSite::showMessage(const std::wstring&, const std::wstring&) {}

ScriptItem msgBoxItem() {
    return ScriptItem{L"MsgBox"};
}
ScriptItem targetItem() {
    return ScriptItem{L"target"};
}

}  // namespace tovy::support_jscript
