// A named item of the script host: a name the script sees as a global variable, its
// flags, and the factory of the native object behind it. The two items of the script
// rule, "MsgBox" and "target", are made by msgBoxItem() and targetItem().
//
// Plain values; the factory is called on the thread that owns the site.
#pragma once

#include <cstdint>
#include <string>

namespace tovy::support_jscript {

class ScriptObject;
class ScriptSite;

// Item flags, with the values of the scripting interfaces they come from.
constexpr uint32_t kItemVisible = 0x02;
// The item's members can also be used without the item's name ("fileName" for
// "target.fileName").
constexpr uint32_t kItemGlobalMembers = 0x08;

struct ScriptItem {
    std::wstring name;
    uint32_t flags = kItemVisible | kItemGlobalMembers;
    // Makes the item's object; the site's engine takes ownership of it.
    ScriptObject* (*create)(ScriptSite& site) = nullptr;
};

// "MsgBox" with its method "Show".
ScriptItem msgBoxItem();
// "target" with the twenty read-only properties of the file under test.
ScriptItem targetItem();

}  // namespace tovy::support_jscript
