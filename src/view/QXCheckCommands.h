// The tick logic of the result list: the ticks a fill gives, the counts of the status
// line, the extension list, and the check commands of the リスト menu (all, none,
// selected, keep newest or oldest of each group, folder priority, by extension). Works
// on the records' check bit, which is the only store of a row's tick. Plain functions,
// no Qt. Not thread-safe: the user-interface thread only (records are shared).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"

namespace quenrix {

// The number and total size of the ticked records.
struct QXTickCount {
    size_t count = 0;
    uint64_t size = 0;
};
QXTickCount countTicks(const QXFileList& files);

// The status line: "総数: T  一致: M  選択: S", followed by "  総ｻｲｽﾞ: 3,345" when
// showTotalSize.
std::wstring formatStatusLine(uint64_t enumerated, size_t rows, const QXTickCount& ticks,
                              bool showTotalSize);

// Sets the check bit of every record by the default rule after a search (imported
// records keep theirs when imported).
void applyFillTicks(QXFileList& files, bool imported);

// The distinct lower-case extensions (text after the last "." of the name, without the
// dot) in ordinal order. A name without extension contributes nothing.
std::vector<std::wstring> extensionList(const QXFileList& files);

void checkAll(QXFileList& files);
void uncheckAll(QXFileList& files);
// Rows are indexes into files; indexes out of range are ignored.
void checkRows(QXFileList& files, const std::vector<size_t>& rows, bool check);
// Sets (check) or clears the check bit of every record whose extension equals ext
// without regard to case.
void checkByExtension(QXFileList& files, const std::wstring& ext, bool check);

// Keep newest (true) or oldest: in each group (records with the in-group mark or the
// similar-image group mark, by group number) every record but the one with the latest
// (earliest) last-write time is ticked, the first met on equal times kept. Records
// outside any group keep their tick.
void keepByDate(QXFileList& files, bool keepNewest);

// One entry of the folder-priority list, highest priority first.
struct QXPriorityFolder {
    std::wstring path;        // the folder, without a trailing "/" (except the root)
    bool subfolders = false;  // "yes": the file's path contains the folder path as text
};
struct QXFolderPriority {
    std::vector<QXPriorityFolder> folders;
    int32_t action = 0;  // 0 優先して削除 (tick files in the folders), 1 優先して削除しない
    int32_t otherwise = 0;  // 0 古いファイルを削除 (keep newest), 1 新しいファイルを削除
};
// Whether the record lies in the folder by the entry's rule: with subfolders anywhere its
// full path contains the folder path as text (case-sensitive, so "/data" also holds
// "/data2/a"); without, when the folder is the record's parent folder. An empty folder
// path holds nothing.
bool liesInFolder(const QXFileInfo& file, const QXPriorityFolder& folder);
// The folder-priority command over the groups (the same records as keepByDate); records
// outside any group keep their tick and their other marks. In each group the check, done,
// matched and newest-in-group bits are cleared first, and afterwards exactly one record of
// the group is left unticked.
void applyFolderPriority(QXFileList& files, const QXFolderPriority& priority);

// The command ids of the リスト menu. With n extensions in the menu's extension list,
// kCheckByExtensionBase + k checks by the k-th one and kCheckByExtensionBase + n + k
// unchecks by it.
enum QXCheckCommand : int {
    kCheckCommandCheckAll = 1,
    kCheckCommandUncheckAll = 2,
    kCheckCommandCheckSelected = 3,
    kCheckCommandUncheckSelected = 4,
    kCheckCommandKeepNewest = 5,
    kCheckCommandKeepOldest = 6,
    kCheckCommandFolderPriority = 7,
    kCheckByExtensionBase = 10,
};
// Runs the menu command `id` on the records: selectedRows for 3 and 4, extensions (the
// list the menu was built from) for the extension items. Returns false, changing nothing,
// for 7 (it needs the dialog's choices: applyFolderPriority) and for an id that is no
// command.
bool runCheckCommand(QXFileList& files, int id, const std::vector<size_t>& selectedRows,
                     const std::vector<std::wstring>& extensions);

}  // namespace quenrix
