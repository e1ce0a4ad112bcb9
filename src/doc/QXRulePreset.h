// Rule presets: named copies of a rule list with its combination mode, which the user
// registers from the current rules, applies to replace them, and deletes. They belong to
// the user, not to a document, and are kept in "RulePresets.txt" in the settings folder:
//
//   <Preset>
//   Name="..."            the name escaped and quoted like a rule's text setting
//
//   RuleOpe=0             the rule operator (0 all rules, 1 any rule)
//
//   <Rule>
//   type=filename         then the rule's lines (QXRule::writeLines)
//   ...
//   </Rule>
//   </Preset>
//
// with lines ended by CR LF, read back with TovConfReader. Presets never share rule
// objects with a document: registering and applying both clone.
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rule/QXRule.h"
#include "tovy/TovConfReader.h"

namespace quenrix {

struct QXRulePreset {
    std::wstring name;
    int32_t ruleOpe = 0;  // CQuenrixDoc::kRuleAnd or kRuleOr
    QXRuleList rules;     // owned by the preset
};

using QXRulePresetPtr = std::shared_ptr<QXRulePreset>;
using QXRulePresetList = std::vector<QXRulePresetPtr>;

// Builds presets from the pairs of a presets file and appends each complete one (its
// "</Preset>" seen) to a list. Rules whose type key names no kind, and rules whose
// settings cannot be used (a pattern that does not compile), are left out and logged.
class QXRulePresetReceiver : public tovy::TovConfReadReceiverEx {
public:
    explicit QXRulePresetReceiver(QXRulePresetList& out) : m_out(out) {}
    using tovy::TovConfReadReceiverEx::onPair;
    bool onPair(const std::wstring& key, const std::wstring& value) override;

private:
    enum class State { Outside, InPreset, InRule };
    void endRule();

    QXRulePresetList& m_out;
    State m_state = State::Outside;
    QXRulePresetPtr m_preset;
    std::wstring m_typeKey;
    QXRulePairs m_pairs;
};

// The preset list and its file. The list keeps file order followed by registration
// order; names are unique within it (exact comparison).
class QXRulePresets {
public:
    static constexpr const char* kFileName = "RulePresets.txt";

    QXRulePresets() = default;
    // folder: the settings folder, with or without a trailing slash.
    explicit QXRulePresets(std::string folder) { setFolder(std::move(folder)); }

    void setFolder(std::string folder);
    const std::string& folder() const { return m_folder; }
    // The presets file; empty when no folder is set.
    std::string filePath() const;

    // Appends the presets of the file to the list. A missing or unreadable file adds
    // nothing and gives false.
    bool load();
    // Replaces the file with the whole list, atomically: a failure leaves the old file.
    // false when it cannot be written, or when a name or a rule value holds a line
    // break (it would break the file's lines); the list is kept either way.
    bool save() const;

    const QXRulePresetList& list() const { return m_list; }
    // The first preset of that name, or null.
    QXRulePresetPtr find(const std::wstring& name) const;
    void append(QXRulePresetPtr preset) { m_list.push_back(std::move(preset)); }
    // Removes the first preset of that name; false when there is none.
    bool remove(const std::wstring& name);

    // A preset of clones of rules (their check boxes and groups included).
    static QXRulePresetPtr make(std::wstring name, int32_t ruleOpe, const QXRuleList& rules);
    // Replaces rules by clones of the preset's rules and rebuilds their groups.
    static void applyTo(const QXRulePreset& preset, QXRuleList& rules);
    // The file's bytes for a list: its text in UTF-8 through the lossless codec.
    static std::string fileBytes(const QXRulePresetList& list);
    // The first text of the preset that holds a CR or LF and so cannot be written: the
    // name, or a rule's description. None when the preset can be written.
    static std::optional<std::wstring> lineBreakIn(const QXRulePreset& preset);

private:
    std::string m_folder;
    QXRulePresetList m_list;
};

}  // namespace quenrix
