// Connects the rule kinds to their edit dialogs: registers, in the core's editor
// registry, the dialog that QXRule::edit() runs for each kind that has one. Call once,
// after the QApplication exists. User-interface thread only.
#pragma once

namespace quenrix {

void registerRuleEditors();

}  // namespace quenrix
