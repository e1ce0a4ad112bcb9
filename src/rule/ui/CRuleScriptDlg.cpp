#include "rule/ui/CRuleScriptDlg.h"

#include <QBoxLayout>

#include "app/QXQtPrompt.h"
#include "core/QXFileInfo.h"
#include "rule/ui/CScriptEdit.h"
#include "tovy/support_jscript/ScriptSite.h"

namespace quenrix {

namespace {

using tovy::support_jscript::RunEnd;
using tovy::support_jscript::RunResult;
using tovy::support_jscript::RunValue;
using tovy::support_jscript::ScriptSite;

constexpr const wchar_t* kResultCaption = L"スクリプトエラー";

}  // namespace

CRuleScriptDlg::CRuleScriptDlg(QXScriptRule& rule, QWidget* parent)
    : CRuleEditDlg(QStringLiteral("条件：スクリプト"), parent), m_rule(rule) {
    m_edit = named(new CScriptEdit(this), 1040);
    const std::wstring& script = rule.fresh() ? QXScriptRule::kDialogScript : rule.script();
    // The edit works with LF line breaks.
    QString text = QString::fromStdWString(script);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_edit->setPlainText(text);
    body()->addWidget(m_edit);
    m_edit->setFocus();
}

void CRuleScriptDlg::showError(const std::wstring& text, const std::wstring& caption) {
    QXQtPrompt prompt(this);
    prompt.messageBox(text, caption, QXIcon::Error);
}

bool CRuleScriptDlg::takeInput() {
    const std::wstring script = QXScriptRule::withCrLf(m_edit->toPlainText().toStdWString());

    ScriptSite::Hooks hooks;
    hooks.showMessage = [this](const std::wstring& text, const std::wstring& caption) {
        QXQtPrompt prompt(this);
        prompt.messageBox(text, caption, QXIcon::None);
    };
    ScriptSite site(std::move(hooks), QXScriptRule::timeLimit());
    site.addItem(tovy::support_jscript::msgBoxItem());
    site.addItem(tovy::support_jscript::targetItem());
    QXFileInfo empty;
    site.setTarget(&empty, nullptr);
    const RunResult result = site.run(script, QXScriptRule::kFunction);
    site.setTarget(nullptr, nullptr);

    switch (result.end) {
        case RunEnd::kReturned:
            if (result.value == RunValue::kBoolean) {
                m_rule.setScript(script);
                return true;
            }
            showError(result.value == RunValue::kNone
                          ? L"戻り値がありません。\n「true」か「false」を返してください。"
                          : L"戻り値が不正です。\n「true」か「false」を返してください。",
                      kResultCaption);
            break;
        case RunEnd::kError:
            showError(result.description, result.source);
            break;
        case RunEnd::kTimedOut:
            showError(L"スクリプトが " + std::to_wstring(QXScriptRule::timeLimit().count() / 1000) +
                          L" 秒以内に終わりませんでした。",
                      kResultCaption);
            break;
        case RunEnd::kNotFound:
        case RunEnd::kNoEngine:
        case RunEnd::kCancelled:
            showError(L"スクリプトエラー", L"Error");
            break;
    }
    m_edit->setFocus();
    return false;
}

}  // namespace quenrix
