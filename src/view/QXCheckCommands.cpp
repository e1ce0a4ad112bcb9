#include "view/QXCheckCommands.h"

#include <algorithm>
#include <map>

#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/WinTypes.h"
#include "view/QXResultFormat.h"

namespace quenrix {

namespace {

using Group = std::vector<QXFileInfo*>;

// The bits a folder-priority run starts from: check, done, matched, newest-in-group.
constexpr uint32_t kPriorityResetBits =
    QXFileInfo::kCheck | QXFileInfo::kDone | QXFileInfo::kMatched | QXFileInfo::kNewestInGroup;

void setCheck(QXFileInfo& file, bool check) {
    if (check) {
        file.addFlags(QXFileInfo::kCheck);
    } else {
        file.clearFlags(QXFileInfo::kCheck);
    }
}

// Group number 0 is both the first duplicate group and the number of every record outside
// a group, so membership is read from the marks, never from the number alone.
bool belongsToGroup(const QXFileInfo& file) {
    return file.hasFlag(QXFileInfo::kInGroup | QXFileInfo::kSimilarWork1);
}

// The groups by ascending group number, each in result-list order.
std::vector<Group> collectGroups(const QXFileList& files) {
    std::map<int32_t, Group> byNumber;
    for (const auto& file : files) {
        if (file && belongsToGroup(*file)) byNumber[file->groupNumber].push_back(file.get());
    }
    std::vector<Group> groups;
    groups.reserve(byNumber.size());
    for (auto& entry : byNumber) groups.push_back(std::move(entry.second));
    return groups;
}

// The record with the latest (keepNewest) or earliest last-write time; the first met wins
// on equal times. REQUIRES: !records.empty().
QXFileInfo* pickByDate(const Group& records, bool keepNewest) {
    QXFileInfo* picked = records.front();
    uint64_t pickedTime = platform::fileTimeTicks(picked->lastWriteTime());
    for (QXFileInfo* file : records) {
        const uint64_t time = platform::fileTimeTicks(file->lastWriteTime());
        if (keepNewest ? time > pickedTime : time < pickedTime) {
            picked = file;
            pickedTime = time;
        }
    }
    return picked;
}

// Among the unticked records of the group keeps the newest (or oldest) unticked and ticks
// the other unticked ones.
void keepByDateAmongUnticked(const Group& group, bool keepNewest) {
    Group unticked;
    for (QXFileInfo* file : group) {
        if (!file->hasFlag(QXFileInfo::kCheck)) unticked.push_back(file);
    }
    if (unticked.empty()) return;
    QXFileInfo* kept = pickByDate(unticked, keepNewest);
    for (QXFileInfo* file : unticked) setCheck(*file, file != kept);
}

// The first record of the group that lies in the folder, or none.
QXFileInfo* firstInFolder(const Group& group, const QXPriorityFolder& folder) {
    for (QXFileInfo* file : group) {
        if (liesInFolder(*file, folder)) return file;
    }
    return nullptr;
}

// 優先して削除: files in the folders are ticked first, one per folder from the top; the
// rest of the group is kept by date. A group that the folders would tick entirely keeps
// the record of the lowest-priority folder that ticked one.
void deletePreferred(const Group& group, const std::vector<QXPriorityFolder>& folders,
                     bool keepNewest) {
    size_t ticks = 0;
    QXFileInfo* lastTicked = nullptr;
    for (const QXPriorityFolder& folder : folders) {
        QXFileInfo* file = firstInFolder(group, folder);
        // A record that an earlier folder already ticked is not counted again: counting it
        // twice could reach the group's size with a record still unticked and so leave the
        // group without any record kept.
        if (file == nullptr || file->hasFlag(QXFileInfo::kCheck)) continue;
        setCheck(*file, true);
        ++ticks;
        lastTicked = file;
    }
    if (ticks == group.size() && lastTicked != nullptr) setCheck(*lastTicked, false);
    keepByDateAmongUnticked(group, keepNewest);
}

// 優先して削除しない: the group's first record in the highest-priority folder that holds
// one is kept and every other record ticked; a group no folder holds is kept by date.
void keepPreferred(const Group& group, const std::vector<QXPriorityFolder>& folders,
                   bool keepNewest) {
    for (QXFileInfo* file : group) setCheck(*file, true);
    for (const QXPriorityFolder& folder : folders) {
        if (QXFileInfo* file = firstInFolder(group, folder)) {
            setCheck(*file, false);
            return;
        }
    }
    for (QXFileInfo* file : group) setCheck(*file, false);
    keepByDateAmongUnticked(group, keepNewest);
}

// The file's extension in lower case without its ".", or empty.
std::wstring lowerExtension(const QXFileInfo& file) {
    std::wstring ext = platform::extensionOf(file.fileName());
    if (!ext.empty()) ext.erase(0, 1);
    return platform::toLower(ext);
}

}  // namespace

QXTickCount countTicks(const QXFileList& files) {
    QXTickCount ticks;
    for (const auto& file : files) {
        if (file && file->hasFlag(QXFileInfo::kCheck)) {
            ++ticks.count;
            ticks.size += file->size();
        }
    }
    return ticks;
}

std::wstring formatStatusLine(uint64_t enumerated, size_t rows, const QXTickCount& ticks,
                              bool showTotalSize) {
    std::wstring line = formatResultSummary(size_t(enumerated), rows, ticks.count);
    if (showTotalSize) line += L"  総ｻｲｽﾞ: " + formatThousands(ticks.size);
    return line;
}

void applyFillTicks(QXFileList& files, bool imported) {
    if (imported) return;
    for (const auto& file : files) {
        if (file) setCheck(*file, tickedByDefault(*file));
    }
}

std::vector<std::wstring> extensionList(const QXFileList& files) {
    std::vector<std::wstring> list;
    for (const auto& file : files) {
        if (!file) continue;
        std::wstring ext = lowerExtension(*file);
        if (ext.empty()) continue;
        auto at = std::lower_bound(list.begin(), list.end(), ext);
        if (at == list.end() || *at != ext) list.insert(at, std::move(ext));
    }
    return list;
}

void checkAll(QXFileList& files) {
    for (const auto& file : files) {
        if (file) setCheck(*file, true);
    }
}

void uncheckAll(QXFileList& files) {
    for (const auto& file : files) {
        if (file) setCheck(*file, false);
    }
}

void checkRows(QXFileList& files, const std::vector<size_t>& rows, bool check) {
    for (size_t row : rows) {
        if (row < files.size() && files[row]) setCheck(*files[row], check);
    }
}

void checkByExtension(QXFileList& files, const std::wstring& ext, bool check) {
    // An empty text is no extension of the menu; it must not tick every file without one.
    if (ext.empty()) return;
    for (const auto& file : files) {
        if (file && platform::equalsNoCase(lowerExtension(*file), ext)) setCheck(*file, check);
    }
}

void keepByDate(QXFileList& files, bool keepNewest) {
    for (const Group& group : collectGroups(files)) {
        QXFileInfo* kept = pickByDate(group, keepNewest);
        for (QXFileInfo* file : group) setCheck(*file, file != kept);
    }
}

bool liesInFolder(const QXFileInfo& file, const QXPriorityFolder& folder) {
    const std::wstring folderPath = platform::stripTrailingSlashes(folder.path);
    if (folderPath.empty()) return false;
    const std::wstring path = file.fullPath();
    if (folder.subfolders) return path.find(folderPath) != std::wstring::npos;
    return platform::parentPath(path) == folderPath;
}

void applyFolderPriority(QXFileList& files, const QXFolderPriority& priority) {
    const bool keepNewest = priority.otherwise == 0;
    for (const Group& group : collectGroups(files)) {
        for (QXFileInfo* file : group) file->clearFlags(kPriorityResetBits);
        if (priority.action == 0) {
            deletePreferred(group, priority.folders, keepNewest);
        } else {
            keepPreferred(group, priority.folders, keepNewest);
        }
    }
}

bool runCheckCommand(QXFileList& files, int id, const std::vector<size_t>& selectedRows,
                     const std::vector<std::wstring>& extensions) {
    switch (id) {
        case kCheckCommandCheckAll:
            checkAll(files);
            return true;
        case kCheckCommandUncheckAll:
            uncheckAll(files);
            return true;
        case kCheckCommandCheckSelected:
            checkRows(files, selectedRows, true);
            return true;
        case kCheckCommandUncheckSelected:
            checkRows(files, selectedRows, false);
            return true;
        case kCheckCommandKeepNewest:
            keepByDate(files, true);
            return true;
        case kCheckCommandKeepOldest:
            keepByDate(files, false);
            return true;
        default:
            break;
    }
    if (id < kCheckByExtensionBase) return false;
    const size_t k = size_t(id - kCheckByExtensionBase);
    const size_t n = extensions.size();
    if (k < n) {
        checkByExtension(files, extensions[k], true);
        return true;
    }
    if (k < 2 * n) {
        checkByExtension(files, extensions[k - n], false);
        return true;
    }
    return false;
}

}  // namespace quenrix
