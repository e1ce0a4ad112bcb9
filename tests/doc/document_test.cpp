// The search-settings document: saving and opening it again keeps targets (backslashes,
// Japanese, double quotes), options, ignored folders, every rule kind with its groups and
// the empty-folder lists; the exact line layout; what a damaged, foreign or old
// (Shift_JIS) file gives; the refusal of values holding line breaks.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/QXLog.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXAppSettings.h"
#include "rule/QXFileExtRule.h"
#include "rule/QXFileSizeRule.h"
#include "rule/QXFileTimeRule.h"
#include "rule/QXFilenameRule.h"
#include "rule/QXRuleRegistry.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

// The view's side of the protocol: records the calls; a save stores the form's values.
struct RecordingView : QXDocumentView {
    explicit RecordingView(CQuenrixDoc& d) : doc(d) {}
    void storeIntoDocument() override {
        calls += "store;";
        if (storeOperator >= 0) doc.ruleOperator = storeOperator;
    }
    void showReadOptions() override { calls += "show;"; }
    void documentEmptied() override { calls += "emptied;"; }
    void documentReplaced() override { calls += "replaced;"; }

    CQuenrixDoc& doc;
    std::string calls;
    int32_t storeOperator = -1;
};

void writeText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

std::vector<std::wstring> logLines() {
    return QXLog::takeQueued();
}

bool has(const std::vector<std::wstring>& lines, const std::wstring& part) {
    for (const auto& line : lines) {
        if (line.find(part) != std::wstring::npos) return true;
    }
    return false;
}

QXTargetPtr targetAt(const std::string& path) {
    auto target = QXTarget::fromPath(path);
    EXPECT_TRUE(target) << path;
    return target;
}

// Everything a document holds that a file keeps, as text; groups as the index of their
// first member and the group type, since group numbers are identities.
std::wstring describe(const CQuenrixDoc& doc) {
    std::wstring out;
    for (const auto& t : doc.targets) out += L"target " + tovy::fromUtf8(t->path) + L"\n";
    out += L"options " + std::to_wstring(doc.includeSubfolders) +
           std::to_wstring(doc.includeHidden) + std::to_wstring(doc.includeSystem) + L"\n";
    for (const auto& i : doc.ignoreList) out += L"ignore " + i + L"\n";
    out += L"operator " + std::to_wstring(doc.ruleOperator) + L"\n";
    for (size_t i = 0; i < doc.rules.size(); ++i) {
        const QXRule& rule = *doc.rules[i];
        QXRulePairs pairs;
        rule.writePairs(pairs);
        out += L"rule";
        for (const auto& [k, v] : pairs) {
            if (k != L"group") out += L" " + k + L"=" + v;
        }
        long first = -1;
        for (size_t j = 0; j < doc.rules.size() && rule.group(); ++j) {
            if (doc.rules[j]->group() == rule.group()) {
                first = long(j);
                break;
            }
        }
        out += L" group@" + std::to_wstring(first) + L"\n";
    }
    return out;
}

// A file's text with each "group = n" line cut to its key: the numbers are identities of
// group objects, and a file read back gets new ones.
std::string withoutGroupNumbers(std::string text) {
    for (size_t at = text.find("\tgroup = "); at != std::string::npos;
         at = text.find("\tgroup = ", at + 1)) {
        const size_t end = text.find(';', at);
        if (end == std::string::npos) break;
        text.erase(at + 9, end - at - 9);
    }
    return text;
}

class Document : public ::testing::Test {
protected:
    void SetUp() override {
        QXAppSettings& s = QXAppSettings::instance();
        m_patterns = s.patternMatch;
        m_ignoreFiles = s.ignoreFile;
        QXLog::clearQueue();
    }
    void TearDown() override {
        QXAppSettings& s = QXAppSettings::instance();
        s.patternMatch = m_patterns;
        s.ignoreFile = m_ignoreFiles;
    }

    // A document file with the current header and the given body.
    std::string file(const std::string& body, const char* header = "qnrx0101txt 03  ") {
        std::string path = dir / ("doc" + std::to_string(++m_files) + ".qnrx");
        writeText(path, std::string(header) + "\r\n" + body);
        return path;
    }

    test::TempDir dir;

private:
    std::vector<std::wstring> m_patterns, m_ignoreFiles;
    int m_files = 0;
};

TEST_F(Document, EverythingSavedOpensAgainUnchanged) {
    CQuenrixDoc doc;
    for (const char* name : {"C:\\data\\photos", "写真 2024", "say \"hi\"", "plain"})
        doc.targets.push_back(targetAt(dir.createDir(name)));
    doc.ignoreList = {L"*\\cache", L"一時", L"\"q\"", L""};
    doc.includeSubfolders = true;
    doc.includeSystem = true;

    // Every kind that can be made, several with settings other than their defaults;
    // the text settings hold backslashes, double quotes and Japanese.
    for (int32_t id = 0; id < ruletype::kCount; ++id) {
        QXRulePtr rule = createRule(id);
        if (!rule) continue;
        if (auto r = std::dynamic_pointer_cast<QXFilenameRule>(rule)) {
            const wchar_t* patterns[] = {L"\"quoted\"", L"*\\\"x\\*.jpg", L"^a\"b\\d+\\\\$"};
            r->setPattern(id <= ruletype::kFilenameRegexp ? patterns[id] : L"名前");
            r->setIgnoreCase(true);
            r->setFunction(1);
        } else if (auto r = std::dynamic_pointer_cast<QXFileSizeRule>(rule)) {
            r->setSize(123456789012ull);
            r->setUnit(2);
        } else if (auto r = std::dynamic_pointer_cast<QXFileExtRule>(rule)) {
            r->setExtensions(L"jpg,\\x\\,\"画像\"");
        } else if (auto r = std::dynamic_pointer_cast<QXFileTimeRule>(rule)) {
            platform::SYSTEMTIME t;
            t.wYear = 2021;
            t.wMonth = 3;
            t.wDay = 4;
            t.wHour = 5;
            r->setReferenceTime(t);
            r->setAmount(7);
        }
        doc.rules.push_back(rule);
    }
    ASSERT_GE(doc.rules.size(), 6u);
    doc.rules[1]->setEnabled(false);
    groupRules({doc.rules[0], doc.rules[2]}, QXRuleGroup::kOr);
    groupRules({doc.rules[3], doc.rules[4], doc.rules[5]}, QXRuleGroup::kAnd);

    QXAppSettings& settings = QXAppSettings::instance();
    settings.patternMatch = {L"~*", L"a\\b", L"\"x\""};
    settings.ignoreFile = {L"thumbs.db", L"C:\\x\\", L"説明.txt"};

    RecordingView view(doc);
    view.storeOperator = CQuenrixDoc::kRuleOr;  // the form's selector: any rule
    doc.setView(&view);
    const std::string path = dir / "all.qnrx";
    ASSERT_TRUE(doc.onSaveDocument(path));
    EXPECT_EQ(view.calls, "store;");
    EXPECT_TRUE(doc.refusedValue().empty());
    const std::wstring want = describe(doc);

    settings.patternMatch.clear();
    settings.ignoreFile.clear();
    CQuenrixDoc back;
    RecordingView backView(back);
    back.setView(&backView);
    ASSERT_TRUE(back.onOpenDocument(path));
    EXPECT_EQ(backView.calls, "show;replaced;");
    EXPECT_EQ(describe(back), want);
    EXPECT_EQ(back.ruleOperator, CQuenrixDoc::kRuleOr);
    EXPECT_EQ(back.settingsFilePath(), path);
    EXPECT_EQ(back.targets[1]->path, dir / "写真 2024");
    EXPECT_FALSE(back.targets[0]->itemIdList.empty());
    EXPECT_EQ(settings.patternMatch, (std::vector<std::wstring>{L"~*", L"a\\b", L"\"x\""}));
    EXPECT_EQ(settings.ignoreFile,
              (std::vector<std::wstring>{L"thumbs.db", L"C:\\x\\", L"説明.txt"}));
    EXPECT_TRUE(logLines().empty());

    // Saving what was read gives the same file.
    back.setView(nullptr);
    ASSERT_TRUE(back.onSaveDocument(dir / "again.qnrx"));
    EXPECT_EQ(withoutGroupNumbers(test::readFile(dir / "again.qnrx")),
              withoutGroupNumbers(test::readFile(path)));
}

TEST_F(Document, LayoutIsExactlyTheFixedOne) {
    CQuenrixDoc doc;
    auto target = std::make_shared<QXTarget>();
    target->path = "/srv/C:\\photos \"x\"";
    doc.targets.push_back(target);
    doc.ignoreList = {L"*\\tmp"};
    doc.includeHidden = true;
    doc.ruleOperator = CQuenrixDoc::kRuleOr;
    auto rule = std::dynamic_pointer_cast<QXFilenameRule>(createRule(ruletype::kFilename));
    rule->setPattern(L"a\\b\"c");
    rule->setIgnoreCase(true);
    doc.rules.push_back(rule);
    QXAppSettings::instance().patternMatch = {L"~*"};
    QXAppSettings::instance().ignoreFile = {L"thumbs.db", L"a\\b"};

    ASSERT_TRUE(doc.onSaveDocument(dir / "golden.qnrx"));
    const std::string golden = test::readFile(QUENRIX_DOC_TEST_DATA "/golden_document.qnrx");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(test::readFile(dir / "golden.qnrx"), golden);
}

TEST_F(Document, EmptyDocumentStillWritesEverySection) {
    QXAppSettings::instance().patternMatch.clear();
    QXAppSettings::instance().ignoreFile.clear();
    CQuenrixDoc doc;
    ASSERT_TRUE(doc.onSaveDocument(dir / "empty.qnrx"));
    EXPECT_EQ(test::readFile(dir / "empty.qnrx"),
              "qnrx0101txt 03  \r\n\r\nTarget {\r\n\tOptSubDir = no;\r\n"
              "\tOptIncludeHidden = no;\r\n\tOptIncludeSystem = no;\r\n}\r\n\r\n\r\n"
              "Rules {\r\n\tRuleOpe = 0;\r\n}\r\n\r\n\r\nSearchEmptyFolder {\r\n\r\n"
              "\tPatternMatchList {\r\n\t}\r\n\r\n\tIgnoreFileList {\r\n\t}\r\n}\r\n\r\n");

    CQuenrixDoc back;
    back.targets.push_back(std::make_shared<QXTarget>());
    ASSERT_TRUE(back.onOpenDocument(dir / "empty.qnrx"));
    EXPECT_EQ(describe(back), describe(CQuenrixDoc()));
}

// A hand-edited file: damaged rules are dropped and the rest loads; group numbers beyond
// 32 bits; missing folders; option words other than "yes"; a rule operator no selector
// entry has; unknown sections and keys.
TEST_F(Document, HandEditedFileLoadsWhatCanBeUsed) {
    const std::string here = dir.createDir("here");
    const std::string path = file(
        "Target {\r\n"
        "  Path = \"" +
        dir.path() +
        "/gone\";\r\n"
        "  Path = \"" +
        here +
        "\";\r\n"
        "  Path = ;\r\n"
        "  OptSubDir = Yes;\r\n"
        "  OptIncludeHidden = yes;\r\n"
        "  Unknown = 1;\r\n"
        "}\r\n"
        "Other { Rules { RuleOpe = 1; } x = 1; }\r\n"
        "Rules {\r\n"
        "  RuleOpe = 7;\r\n"
        "  Rule \"no_such_kind\" { type = no_such_kind; enable = 1; }\r\n"
        "  Rule \"filename_regexp\" { filename = \"(\"; }\r\n"
        "  Rule \"filename\" { }\r\n"
        "  Notes { n = 1; }\r\n"
        "  Rule \"filename\" { filename = a; group = 4294967297; group_type = 1; }\r\n"
        "  Rule \"file_ext\" { ext = ; group = 5; }\r\n"
        "  Rule \"file_size\" { size = 10; group = 4294967297; group_type = 0; }\r\n"
        "  Rule \"filename_wildcard\" { filename = *.jpg, *.png; enable = 0; }\r\n"
        "}\r\n");
    QXAppSettings::instance().ignoreFile = {L"kept"};

    CQuenrixDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(path));
    ASSERT_EQ(doc.targets.size(), 1u);
    EXPECT_EQ(doc.targets[0]->path, here);
    EXPECT_FALSE(doc.includeSubfolders);
    EXPECT_TRUE(doc.includeHidden);
    EXPECT_EQ(doc.ruleOperator, CQuenrixDoc::kRuleAnd);
    // Without a SearchEmptyFolder section the application's lists stay.
    EXPECT_EQ(QXAppSettings::instance().ignoreFile, std::vector<std::wstring>{L"kept"});

    ASSERT_EQ(doc.rules.size(), 4u);
    EXPECT_EQ(doc.rules[0]->typeId(), ruletype::kFilename);
    EXPECT_EQ(doc.rules[1]->typeId(), ruletype::kFileExt);
    EXPECT_EQ(doc.rules[2]->typeId(), ruletype::kFileSize);
    EXPECT_EQ(doc.rules[3]->typeId(), ruletype::kFilenameWildcard);
    ASSERT_TRUE(doc.rules[0]->group());
    EXPECT_EQ(doc.rules[0]->group(), doc.rules[2]->group());
    EXPECT_EQ(doc.rules[0]->group()->type, QXRuleGroup::kOr);
    ASSERT_TRUE(doc.rules[1]->group());
    EXPECT_NE(doc.rules[1]->group(), doc.rules[0]->group());
    EXPECT_EQ(std::dynamic_pointer_cast<QXFileExtRule>(doc.rules[1])->extensions(), L"");
    auto wildcard = std::dynamic_pointer_cast<QXFilenameRule>(doc.rules[3]);
    EXPECT_EQ(wildcard->pattern(), L"*.jpg,*.png,");
    EXPECT_FALSE(wildcard->enabled());

    const auto log = logLines();
    EXPECT_TRUE(has(log, L"QXSettingReader : endSection : Out of memory."));
    EXPECT_TRUE(has(log, L"QXSettingReader : endSection : Failed to load rule."));
    EXPECT_TRUE(has(log, L"QXSettingReader : receive_target : Illegal syntax"));
}

TEST_F(Document, ForeignOrLaterHeaderGivesAnEmptyDocument) {
    const char* headers[] = {"qnrx0102txt 03  ", "qnrx0200txt 03  ", "qnrx0101bin 03  ",
                             "qnrz0101txt 03  ", "qnrx0101txt 01  ", "qnrx01"};
    const std::string body =
        "Rules {\r\n\tRuleOpe = 1;\r\n\tRule \"file_size\" { size = 1; }\r\n}\r\n";
    for (const char* header : headers) {
        const std::string path = file(body, header);
        CQuenrixDoc doc;
        RecordingView view(doc);
        doc.setView(&view);
        doc.targets.push_back(std::make_shared<QXTarget>());
        doc.ruleOperator = CQuenrixDoc::kRuleOr;
        ASSERT_TRUE(doc.onOpenDocument(path)) << header;
        EXPECT_EQ(describe(doc), describe(CQuenrixDoc())) << header;
        EXPECT_EQ(view.calls, "replaced;") << header;
        EXPECT_TRUE(doc.settingsFilePath().empty()) << header;
    }
    EXPECT_TRUE(logLines().empty());

    // Version 1.00 is read.
    CQuenrixDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(file(body, "qnrx0100txt 03  ")));
    EXPECT_EQ(doc.rules.size(), 1u);
    EXPECT_EQ(doc.ruleOperator, CQuenrixDoc::kRuleOr);
}

TEST_F(Document, FolderOrMissingPathLeavesTheDocumentAlone) {
    CQuenrixDoc doc;
    doc.targets.push_back(targetAt(dir.createDir("t")));
    doc.rules.push_back(createRule(ruletype::kFileSize));
    const std::wstring before = describe(doc);
    EXPECT_TRUE(doc.onOpenDocument(dir.path()));
    EXPECT_FALSE(doc.onOpenDocument(dir / "missing.qnrx"));
    EXPECT_EQ(describe(doc), before);
    EXPECT_TRUE(doc.settingsFilePath().empty());
}

TEST_F(Document, NewDocumentEmptiesEverything) {
    CQuenrixDoc doc;
    RecordingView view(doc);
    doc.setView(&view);
    doc.targets.push_back(std::make_shared<QXTarget>());
    doc.ignoreList = {L"x"};
    doc.rules.push_back(createRule(ruletype::kFileSize));
    doc.results.push_back(nullptr);
    doc.includeHidden = true;
    ASSERT_TRUE(doc.onNewDocument());
    EXPECT_EQ(describe(doc), describe(CQuenrixDoc()));
    EXPECT_TRUE(doc.results.empty());
    EXPECT_EQ(view.calls, "emptied;replaced;");
}

// A value holding a line break cannot be written as one line: nothing is written and the
// user is told which value it was.
TEST_F(Document, LineBreakRefusesTheSaveAndKeepsTheOldFile) {
    struct Case {
        const char* what;
        void (*spoil)(CQuenrixDoc&, const test::TempDir&);
        std::wstring shown;
    };
    const Case cases[] = {
        {"target",
         [](CQuenrixDoc& d, const test::TempDir& dir) {
             d.targets.push_back(QXTarget::fromPath(dir.createDir("two\nlines")));
         },
         L"two⏎lines"},
        {"ignore", [](CQuenrixDoc& d, const test::TempDir&) { d.ignoreList.push_back(L"a\r\nb"); },
         L"a⏎b"},
        {"rule",
         [](CQuenrixDoc& d, const test::TempDir&) {
             auto r = std::dynamic_pointer_cast<QXFilenameRule>(createRule(ruletype::kFilename));
             r->setPattern(L"x\ry");
             d.rules.push_back(r);
         },
         L"x⏎y"},
        {"pattern",
         [](CQuenrixDoc&, const test::TempDir&) {
             QXAppSettings::instance().patternMatch = {L"p\nq"};
         },
         L"p⏎q"},
    };
    const std::string path = dir.createFile("old.qnrx", "previous contents");
    for (const Case& c : cases) {
        QXAppSettings::instance().patternMatch.clear();
        CQuenrixDoc doc;
        doc.targets.push_back(targetAt(dir.createDir("fine")));
        c.spoil(doc, dir);
        EXPECT_FALSE(doc.onSaveDocument(path)) << c.what;
        EXPECT_EQ(test::readFile(path), "previous contents") << c.what;
        EXPECT_NE(doc.refusedValue().find(L"改行"), std::wstring::npos) << c.what;
        EXPECT_NE(doc.refusedValue().find(c.shown), std::wstring::npos) << c.what;
        EXPECT_FALSE(logLines().empty()) << c.what;

        // The message is about the last save only.
        QXAppSettings::instance().patternMatch.clear();
        doc = CQuenrixDoc();
        EXPECT_TRUE(doc.onSaveDocument(dir / "other.qnrx")) << c.what;
        EXPECT_TRUE(doc.refusedValue().empty()) << c.what;
    }
}

// Old documents: Shift_JIS text, values without escapes, so a backslash stands as
// written (and a rule undoes its own escapes).
TEST_F(Document, ShiftJisDocumentIsDecoded) {
    const std::string folder = dir.createDir("写真");
    // "写真" and "表" (whose second byte is a backslash) in code page 932.
    const std::string sjisPhoto = "\x8e\xca\x90\x5e";
    const std::string sjisTable = "\x95\x5c";
    const std::string path = file(
        "Target {\r\n"
        "\tPath = \"" +
            dir.path() + "/" + sjisPhoto +
            "\";\r\n"
            "\tIgnore = \"C:\\" +
            sjisTable +
            "\";\r\n"
            "}\r\n"
            "Rules {\r\n"
            "\tRule \"filename\" {\r\n"
            "\t\tfilename = \"a\\\\b" +
            sjisTable +
            "\";\r\n"
            "\t}\r\n"
            "}\r\n"
            "SearchEmptyFolder {\r\n"
            "\tPatternMatchList { Item = \"C:\\temp\"; }\r\n"
            "\tIgnoreFileList { Item = \"" +
            sjisPhoto +
            ".txt\"; }\r\n"
            "}\r\n",
        "qnrx0101txt 00  ");
    CQuenrixDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(path));
    ASSERT_EQ(doc.targets.size(), 1u);
    EXPECT_EQ(doc.targets[0]->path, folder);
    EXPECT_EQ(doc.ignoreList, std::vector<std::wstring>{L"C:\\表"});
    ASSERT_EQ(doc.rules.size(), 1u);
    EXPECT_EQ(std::dynamic_pointer_cast<QXFilenameRule>(doc.rules[0])->pattern(), L"a\\b表");
    EXPECT_EQ(QXAppSettings::instance().patternMatch, std::vector<std::wstring>{L"C:\\temp"});
    EXPECT_EQ(QXAppSettings::instance().ignoreFile, std::vector<std::wstring>{L"写真.txt"});
}

TEST_F(Document, ArbitraryBytesNeverBreakTheReader) {
    std::string bytes;
    uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        bytes.clear();
        const size_t n = seed % 300;
        for (size_t i = 0; i < n; ++i) {
            seed = seed * 1103515245u + 12345u;
            const char alphabet[] = "{}=;,\"\\/ \t\r\nRuleTargetPathItem\x95";
            bytes.push_back(alphabet[(seed >> 16) % (sizeof(alphabet) - 1)]);
        }
        const char* header = round % 2 ? "qnrx0101txt 00  " : "qnrx0101txt 03  ";
        CQuenrixDoc doc;
        EXPECT_TRUE(doc.onOpenDocument(file(bytes, header))) << round;
    }
    QXLog::clearQueue();
}

}  // namespace
}  // namespace quenrix
