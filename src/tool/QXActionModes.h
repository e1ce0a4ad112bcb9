// The twelve action modes of the 処理 selector: the label in the selector, the word of
// the confirmation question, the text of the progress dialog and the log line that names
// the mode when a run starts. Constant data; any thread.
#pragma once

#include <cstdint>

namespace quenrix {

enum QXActionModeNumber : int32_t {
    kModeDelete = 1,
    kModeRecycle = 2,
    kModeFill00 = 3,
    kModeFillFF = 4,
    kModeFillRandom = 5,
    kModeDoDShort = 6,
    kModeDoD = 7,
    kModeCopy = 8,
    kModeMove = 9,
    kModeCopyKeepTree = 10,
    kModeMoveKeepTree = 11,
    kModeEmptyFolders = 12,
};

constexpr int32_t kActionModeCount = 12;

struct QXActionMode {
    int32_t mode;
    const wchar_t* label;       // the selector's entry
    const wchar_t* question;    // the %s of the confirmation; null: no question
    const wchar_t* dialogText;  // shown in the progress dialog; null for mode 12
    const wchar_t* logLine;     // a format; modes 8 to 11 take the destination folder
};

// The mode's entry; null outside 1 to 12.
const QXActionMode* actionMode(int32_t mode);

// Modes 8 to 11 ask for a destination folder.
inline bool needsDestination(int32_t mode) {
    return mode >= kModeCopy && mode <= kModeMoveKeepTree;
}

}  // namespace quenrix
