// The native object of the "MsgBox" item: its one method "Show" shows a message box
// through the site (the caller's prompt). With one argument the box shows it as text,
// captioned "Script"; with two the second is the caption; other counts do nothing.
//
// Engine thread only.
#pragma once

#include "tovy/support_jscript/ScriptObject.h"

namespace tovy::support_jscript {

class ScriptMsgBox : public ScriptObject {
public:
    using ScriptObject::ScriptObject;

    QStringList memberNames() const override;
    bool isMethod(int id) const override;
    QJSValue call(int id, const QJSValue& arguments) override;
};

}  // namespace tovy::support_jscript
