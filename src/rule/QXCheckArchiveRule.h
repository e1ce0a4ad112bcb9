// The archive check: opens each file through the archive module that handles it and lists
// its members. A file matches when no loaded module claims it, when it cannot be opened,
// or when it lists at least one member that is not a folder; an archive that opens but
// lists no file member (only folders, nothing, or a first member already damaged) does
// not match. Every examined file writes its path to the log, and a second line when no
// module handles it or it cannot be opened.
//
// The kind has no settings: editing succeeds at once, the description is empty, and only
// the common keys are stored.
//
// Held through std::shared_ptr; the rule pass runs on the search worker, which is the only
// user of the archive manager during a search.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rule/QXRule.h"

namespace tovy::support_archive {
class Manager;
}

namespace quenrix {

class QXCheckArchiveRule : public QXRule {
public:
    static constexpr const wchar_t* kNoArchiverLine =
        L"書庫でないか、対応したアーカイバＤＬＬが見つかりません。\n";
    static constexpr const wchar_t* kCannotOpenLine = L"書庫が開けません。\n";

    // Works through `manager`, the program's archive manager when null.
    explicit QXCheckArchiveRule(tovy::support_archive::Manager* manager = nullptr);

    int32_t typeId() const override;
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    std::wstring description() const override;
    std::wstring kindName() const override;
    // Nothing to ask: true without showing anything.
    bool edit(void* parent) override;
    std::shared_ptr<QXRule> clone() const override;

    // The per-file check: the verdict for one file, with its log lines.
    bool check(const QXFileInfo& file);
    // The members (files, not folders) of the file examined last.
    const std::vector<std::wstring>& members() const { return m_members; }

private:
    tovy::support_archive::Manager& manager() const;

    tovy::support_archive::Manager* m_manager;
    std::vector<std::wstring> m_members;
};

}  // namespace quenrix
