// Action mode 12, 空フォルダ: the whole empty-folder flow over the document's targets.
//
// Interactive: the options dialog (its lists, once confirmed with 検索 or 保存, go into
// the settings; 保存 ends there), the search with its progress dialog, "空フォルダが見つかり
// ませんでした。" when nothing is found, the result dialog to review and untick, and the
// removal dialog; afterwards the lists are stored into the settings again.
// Unattended (the settings' RemoveEmptyFolder switch is on): the progress dialog, then
// the removal of every folder found, both closing by themselves, every line to the log.
//
// Returns true when the flow ran to its end (also when only saving or when nothing was
// found), false on cancel or when the search failed. User-interface thread only.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace quenrix {

class QXAppSettings;
class QXPrompt;

bool runEmptyFolderJob(QWidget* parent, const std::vector<std::string>& targets, QXPrompt& prompt,
                       QXAppSettings& settings);
// The same with the process's settings.
bool runEmptyFolderJob(QWidget* parent, const std::vector<std::string>& targets, QXPrompt& prompt);

}  // namespace quenrix
