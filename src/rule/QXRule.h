// The abstract rule (condition): decides for every record of a search whether the file
// matches, one verdict bit per record. Every kind implements the virtual operations;
// the registry (QXRuleRegistry.h) knows the kinds, QXRuleText.h the text encodings.
//
// Rules are held through std::shared_ptr and changed only on the user-interface thread;
// during a search the worker reads them and writes their verdicts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/QXFileInfo.h"
#include "rule/QXRuleGroup.h"
#include "rule/QXRuleText.h"

namespace quenrix {

class QXRuleHost;
class QXCacheServer;
class QXPrompt;

// (key, value) pairs of the pair form.
using QXRulePairs = std::vector<std::pair<std::wstring, std::wstring>>;

class QXRule {
public:
    explicit QXRule(int32_t priority) : m_priority(priority) {}
    virtual ~QXRule() = default;
    QXRule(const QXRule&) = delete;
    QXRule& operator=(const QXRule&) = delete;

    virtual int32_t typeId() const = 0;
    // Fills the verdicts for `files`; false when the search was cancelled.
    virtual bool apply(const QXFileList& files, QXRuleHost& host) = 0;
    // The cache tags whose rows the rule looks up for the files below the targets; the
    // search reads them into memory while it lists the files.
    virtual std::vector<std::string> cacheTags() const { return {}; }
    // The text of the rule list's "詳細" column and of the progress dialog's Rule line.
    virtual std::wstring description() const = 0;
    virtual std::wstring kindName() const = 0;
    // Runs the kind's edit dialog (through the editor registry); true when confirmed.
    // `parent` is the owning window (a QWidget* in the program), opaque to the core.
    virtual bool edit(void* parent);
    // Same kind, settings and enabled flag; no verdicts, no group object; stored group
    // number and type = this rule's group number and type.
    virtual std::shared_ptr<QXRule> clone() const = 0;
    // Line form (presets): appends "key=value\r\n" lines to `out`.
    virtual void writeLines(std::wstring& out) const;
    // Sets the settings from the pairs; false when they leave the rule unusable. `form`
    // says whether the values still carry the writers' escapes (Raw: presets, documents
    // of encoding 00) or a tokenizer already undid them (Unescaped: documents of encoding
    // 03). Every value is brought into its kept form here, once, before the kind sees it.
    virtual bool read(const QXRulePairs& pairs, QXTextForm form = QXTextForm::Raw);
    // Pair form (documents): appends the rule's pairs; true.
    virtual bool writePairs(QXRulePairs& out) const;

    // The kind's own pairs and lines, framed by writePairs/writeLines above.
    virtual void writeOwnPairs(QXRulePairs& out) const {}
    virtual void writeOwnLines(std::wstring& out) const {}
    // One of the kind's own keys; the frame keys are handled by read(). `value` is ready:
    // unescaped and without its enclosing quotes.
    virtual bool readOwnPair(const std::wstring& key, const std::wstring& value) { return true; }
    // After every pair was seen: false when the settings are unusable.
    virtual bool finishRead() { return true; }

    // The type key this rule is written under (empty for a kind without one).
    std::wstring typeKey() const;

    int32_t priority() const { return m_priority; }
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }

    const QXRuleGroupPtr& group() const { return m_group; }
    void setGroup(QXRuleGroupPtr group) { m_group = std::move(group); }
    // Detaches the group and forgets the stored number.
    void ungroup() {
        m_group.reset();
        m_storedGroupNumber = 0;
    }
    uint64_t groupNumber() const { return m_group ? m_group->identity() : m_storedGroupNumber; }
    int32_t groupType() const { return m_group ? m_group->type : m_storedGroupType; }
    uint64_t storedGroupNumber() const { return m_storedGroupNumber; }
    int32_t storedGroupType() const { return m_storedGroupType; }
    void setStoredGroup(uint64_t number, int32_t type) {
        m_storedGroupNumber = number;
        m_storedGroupType = type;
    }

    // Verdict i belongs to record i of the last pass's input list.
    bool verdict(size_t i) const { return i < m_verdicts.size() && m_verdicts[i]; }
    const std::vector<bool>& verdicts() const { return m_verdicts; }
    void resetVerdicts(size_t n) { m_verdicts.assign(n, false); }
    void setVerdict(size_t i, bool v) { m_verdicts[i] = v; }

protected:
    // Copies enabled flag and group settings into a clone.
    void copyBaseTo(QXRule& other) const;

    // The per-record pass every simple kind runs: sizes the verdicts, skips decided
    // records, shows each path on the file line, sets verdict i = test(record), checks
    // the cancel flag and reports the percentage when it changes.
    template <class Test>
    bool applyEach(const QXFileList& files, QXRuleHost& host, Test&& test);

private:
    std::vector<bool> m_verdicts;
    int32_t m_priority;
    bool m_enabled = true;
    QXRuleGroupPtr m_group;
    uint64_t m_storedGroupNumber = 0;
    int32_t m_storedGroupType = 0;
};

using QXRulePtr = std::shared_ptr<QXRule>;
using QXRuleList = std::vector<QXRulePtr>;

// What a rule pass sees of the search worker.
class QXRuleHost {
public:
    virtual ~QXRuleHost() = default;
    virtual bool cancelled() const = 0;
    // Shows the record's path on the progress dialog's file line.
    virtual void showFile(const QXFileInfo& file) = 0;
    // Reports the task percentage 0 to 100.
    virtual void report(int percent) = 0;
    // The cache store the rules of this search use for costly values; null when the
    // cache is switched off.
    virtual QXCacheServer* cache() const { return nullptr; }
    // Where a rule shows the message boxes it owes the user during a pass (the script
    // rule's); null: none are shown.
    virtual QXPrompt* prompt() const { return nullptr; }

    // Group numbers are unique within one search: every rule that forms groups takes
    // its numbers here, in the order it finds the groups, starting at 0.
    int32_t takeGroupNumber() { return m_nextGroupNumber++; }
    int32_t nextGroupNumber() const { return m_nextGroupNumber; }
    void resetGroupNumbers() { m_nextGroupNumber = 0; }

private:
    int32_t m_nextGroupNumber = 0;
};

template <class Test>
bool QXRule::applyEach(const QXFileList& files, QXRuleHost& host, Test&& test) {
    const size_t n = files.size();
    resetVerdicts(n);
    int last = -1;
    for (size_t i = 0; i < n; ++i) {
        QXFileInfo& file = *files[i];
        if (!file.hasFlag(QXFileInfo::kDecided)) {
            host.showFile(file);
            if (test(file)) m_verdicts[i] = true;
        }
        if (host.cancelled()) return false;
        int percent = int(100 * (i + 1) / n);
        if (percent != last) {
            last = percent;
            host.report(percent);
        }
    }
    return true;
}

// Editors registered by the user interface, one per type id.
class QXRuleEditorRegistry {
public:
    using Editor = bool (*)(QXRule& rule, void* parent);
    static void set(int32_t typeId, Editor editor);
    static Editor get(int32_t typeId);
};

// Display order and group numbering: grouped rules first, each group's rules together,
// groups ordered by identity; stable otherwise. Then the groups are numbered 1, 2, ...
void sortForDisplay(QXRuleList& rules);

// Attaches group objects from the stored group numbers (after reading a document or a
// preset): one group per distinct nonzero number, typed by its first member.
void rebuildGroups(QXRuleList& rules);

// Puts every rule of `selected` into one new group of `type`, replacing their groups.
void groupRules(const QXRuleList& selected, int32_t type);
// Detaches every rule of `selected` from its group.
void ungroupRules(const QXRuleList& selected);

}  // namespace quenrix
