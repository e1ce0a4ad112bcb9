#include "tovy/support_jscript/ScriptMsgBox.h"

#include "tovy/support_jscript/ScriptItem.h"
#include "tovy/support_jscript/ScriptSite.h"

namespace tovy::support_jscript {

namespace {

constexpr int kShow = 1;

}  // namespace

QStringList ScriptMsgBox::memberNames() const {
    return {QStringLiteral("Show")};
}

bool ScriptMsgBox::isMethod(int id) const {
    return id == kShow;
}

QJSValue ScriptMsgBox::call(int id, const QJSValue& arguments) {
    if (id != kShow) return QJSValue();
    const int count = arguments.property(QStringLiteral("length")).toInt();
    if (count == 1) {
        site().showMessage(arguments.property(quint32(0)).toString().toStdWString(), L"Script");
    } else if (count == 2) {
        site().showMessage(arguments.property(quint32(0)).toString().toStdWString(),
                           arguments.property(quint32(1)).toString().toStdWString());
    }
    return QJSValue();
}

ScriptItem msgBoxItem() {
    return ScriptItem{L"MsgBox", kItemVisible | kItemGlobalMembers,
                      [](ScriptSite& site) -> ScriptObject* { return new ScriptMsgBox(site); }};
}

}  // namespace tovy::support_jscript
