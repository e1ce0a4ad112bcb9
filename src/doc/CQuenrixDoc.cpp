#include "doc/CQuenrixDoc.h"

#include <sys/stat.h>

#include "core/QXLog.h"
#include "doc/QXAppSettings.h"
#include "doc/QXSettingReader.h"
#include "tovy/TovCstWriter.h"
#include "tovy/TovStream.h"
#include "tovy/TovUtf8.h"

namespace quenrix {

namespace {

const char* yesNo(bool on) {
    return on ? "yes" : "no";
}

// A value for the user's message: line breaks shown as a visible mark.
std::wstring visible(std::wstring_view text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' || text[i] == L'\n') {
            out += L"⏎";
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Writes the document's statements and remembers the first value a line cannot hold.
class DocumentWriter {
public:
    explicit DocumentWriter(tovy::ITovOutputStream* out) : m_writer(out) {}

    tovy::TovCstWriter& writer() { return m_writer; }

    // A text setting (path, pattern, name): escaped and quoted. `shown` is the value as
    // the user knows it, for the refusal message.
    void text(std::string_view key, std::string_view utf8, std::wstring_view shown) {
        put(key, tovy::cstValue(utf8), shown);
    }
    void text(std::string_view key, const std::wstring& value) {
        text(key, tovy::toUtf8(value), value);
    }
    // A value written exactly as given.
    void plain(std::string_view key, std::string_view utf8, std::wstring_view shown) {
        put(key, utf8, shown);
    }

    bool refused() const { return m_refused; }
    const std::wstring& refusedValue() const { return m_refusedValue; }

private:
    void put(std::string_view key, std::string_view value, std::wstring_view shown) {
        if (m_refused) return;
        if (tovy::hasLineBreak(value) || !m_writer.writeValue(key, value)) {
            m_refused = true;
            m_refusedValue = std::wstring(shown);
        }
    }

    tovy::TovCstWriter m_writer;
    bool m_refused = false;
    std::wstring m_refusedValue;
};

bool isFolder(const std::string& path, bool& exists) {
    struct stat st {};
    exists = ::stat(path.c_str(), &st) == 0;
    return exists && S_ISDIR(st.st_mode);
}

}  // namespace

void CQuenrixDoc::clear() {
    targets.clear();
    ignoreList.clear();
    includeSubfolders = false;
    includeHidden = false;
    includeSystem = false;
    rules.clear();
    ruleOperator = kRuleAnd;
    results.clear();
}

bool CQuenrixDoc::onNewDocument() {
    clear();
    if (m_view) {
        m_view->documentEmptied();
        m_view->documentReplaced();
    }
    return true;
}

bool CQuenrixDoc::onOpenDocument(const std::string& path) {
    bool exists = false;
    // A folder (given on the command line) is taken as a target by the caller.
    if (isFolder(path, exists)) return true;
    if (!exists) return false;

    tovy::TovInputFileStream input;
    if (!input.open(path)) {
        QXLog::Write(L"OnOpenDocument : Could not open file.");
        return false;
    }
    clear();

    QXSettingReader reader;
    if (!reader.read(input)) {
        if (reader.headerAccepted()) {
            // Stopped by a read error: whatever was collected may be incomplete.
            QXLog::Write(L"OnOpenDocument : Could not read file.");
            return false;
        }
        // Not a document of ours, or of a later version: an empty document.
        if (m_view) m_view->documentReplaced();
        return true;
    }

    m_settingsFilePath = path;
    for (const std::wstring& p : reader.targetPaths) {
        // Folders that no longer exist are left out silently.
        if (QXTargetPtr target = QXTarget::fromPath(tovy::toUtf8(p))) targets.push_back(target);
    }
    ignoreList = std::move(reader.ignoreList);
    if (reader.sawSearchEmptyFolder) {
        QXAppSettings& settings = QXAppSettings::instance();
        settings.patternMatch = std::move(reader.patternMatch);
        settings.ignoreFile = std::move(reader.ignoreFile);
    }
    includeSubfolders = reader.includeSubfolders;
    includeHidden = reader.includeHidden;
    includeSystem = reader.includeSystem;
    // Only a hand-edited file holds another number; it names no selector entry.
    ruleOperator = reader.ruleOperator == kRuleOr ? kRuleOr : kRuleAnd;
    if (m_view) m_view->showReadOptions();
    rules = std::move(reader.rules);
    rebuildGroups(rules);
    if (m_view) m_view->documentReplaced();
    return true;
}

bool CQuenrixDoc::onSaveDocument(const std::string& path) {
    m_refusedValue.clear();
    if (m_view) m_view->storeIntoDocument();

    // The whole file is made in memory and then replaces the old one, so a refused value
    // or a failed write leaves the previous file as it was.
    tovy::TovOutputStringStream out;
    {
        DocumentWriter doc(&out);
        tovy::TovCstWriter& w = doc.writer();
        w.writeHeader();

        w.beginSection("Target");
        for (const QXTargetPtr& target : targets)
            doc.text("Path", target->path, tovy::fromUtf8(target->path));
        w.writeValue("OptSubDir", yesNo(includeSubfolders));
        w.writeValue("OptIncludeHidden", yesNo(includeHidden));
        w.writeValue("OptIncludeSystem", yesNo(includeSystem));
        for (const std::wstring& folder : ignoreList) doc.text("Ignore", folder);
        w.endSection();
        w.writeLineEnd();

        w.beginSection("Rules");
        w.writeValue("RuleOpe", std::to_string(ruleOperator));
        for (const QXRulePtr& rule : rules) {
            w.writeLineEnd();
            w.beginSection("Rule", tovy::toUtf8(rule->typeKey()));
            QXRulePairs pairs;
            rule->writePairs(pairs);
            for (const auto& [key, value] : pairs)
                doc.plain(tovy::toUtf8(key), tovy::toUtf8(value), value);
            w.endSection();
        }
        w.endSection();
        w.writeLineEnd();

        const QXAppSettings& settings = QXAppSettings::instance();
        w.beginSection("SearchEmptyFolder");
        w.beginSection("PatternMatchList");
        for (const std::wstring& pattern : settings.patternMatch) doc.text("Item", pattern);
        w.endSection();
        w.beginSection("IgnoreFileList");
        for (const std::wstring& name : settings.ignoreFile) doc.text("Item", name);
        w.endSection();
        w.endSection();
        w.writeLineEnd();

        if (doc.refused()) {
            m_refusedValue = L"改行を含む値は保存できません: " + visible(doc.refusedValue());
            QXLog::Write(L"OnSaveDocument : A value holds a line break, not saved. (%s)",
                         visible(doc.refusedValue()).c_str());
            return false;
        }
    }
    if (!tovy::writeFileAtomically(path, out.bytes())) {
        QXLog::Write(L"OnSaveDocument : Could not open file.");
        return false;
    }
    return true;
}

}  // namespace quenrix
