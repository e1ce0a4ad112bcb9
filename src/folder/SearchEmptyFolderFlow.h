// The empty-folder job without windows, as the unattended run (the RemoveEmptyFolder
// switch) needs it: search, then remove every folder found, every line to the log.
// User-interface (main) thread; it waits for each worker in turn.
#pragma once

#include <string>
#include <vector>

#include "folder/SearchEmptyFolderJob.h"

namespace Quenrix {

// Runs the search and then the removal of all found folders. Logs "空フォルダが見つかりません
// でした。" when nothing is found, each removal line, and "空フォルダを全て削除しました。" or
// "Error > 空フォルダ削除中にエラーが発生しました。" at the end. Returns false when the search
// ended with an error (a pattern that does not compile, an entry that cannot be read) or
// could not start; true otherwise, also when the removal failed somewhere.
bool runSearchEmptyFolderUnattended(SearchEmptyFolderJob& job);

// The log lines of a removal's end in the unattended run: the lines not yet written, then
// the closing line.
void logRemovalEnd(const std::vector<std::wstring>& remaining, bool error);

}  // namespace Quenrix
