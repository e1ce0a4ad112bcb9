// The script rule: its verdicts over real files, what the script reads through "target"
// and its global members, the error reports of one pass, the hang mends (Cancel and the
// time limit interrupt an endless loop), and the stored form through documents and
// presets.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "core/QXFileExtras.h"
#include "digest/QXDigest.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXAppSettings.h"
#include "doc/QXIniFile.h"
#include "doc/QXRulePreset.h"
#include "platform/Text.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXScriptRule.h"
#include "support/LogCapture.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

using test::LogCapture;
using test::ScriptedPrompt;
using test::TempDir;

// QJSEngine needs an application object; the program has its QApplication.
void ensureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "quenrix_tests";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    // Qt takes the locale from the environment; the program sets it back the same way.
    platform::initLocale();
}

class Host : public QXRuleHost {
public:
    bool cancelled() const override { return cancel.load(); }
    void showFile(const QXFileInfo& file) override { shown.push_back(file.fileName()); }
    void report(int) override {}
    QXPrompt* prompt() const override { return boxes; }

    std::atomic<bool> cancel{false};
    ScriptedPrompt* boxes = nullptr;
    std::vector<std::wstring> shown;
};

// Seconds since 1970 of a local time.
int64_t localTime(int year, int month, int day, int hour) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_isdst = -1;
    return int64_t(std::mktime(&t));
}

class ScriptRuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureApplication();
        m_savedLimit = QXAppSettings::instance().scriptTimeLimit;
    }
    void TearDown() override { QXAppSettings::instance().scriptTimeLimit = m_savedLimit; }

    QXFileInfoPtr file(const std::string& name, std::string_view data = {}, int64_t mtime = 0) {
        return QXFileInfo::fromPath(m_dir.createFile(name, data, mtime));
    }

    // Runs the pass on a thread of its own, as the search worker does.
    bool applyOnWorker(QXScriptRule& rule, const QXFileList& files, Host& host) {
        bool result = false;
        std::thread worker([&] { result = rule.apply(files, host); });
        worker.join();
        return result;
    }

    static std::shared_ptr<QXScriptRule> ruleWith(const std::wstring& script) {
        auto rule = std::make_shared<QXScriptRule>();
        rule->setScript(script);
        return rule;
    }

    TempDir m_dir;
    int32_t m_savedLimit = 10;
};

TEST_F(ScriptRuleTest, DefaultScriptMatchesEveryFile) {
    QXFileList files = {file("a.txt"), file("b.bin", "xyz"), file(".hidden")};
    QXScriptRule rule;
    EXPECT_EQ(rule.script(), QXScriptRule::kDefaultScript);
    EXPECT_TRUE(rule.description().empty());
    Host host;
    ASSERT_TRUE(applyOnWorker(rule, files, host));
    EXPECT_EQ(rule.verdicts(), std::vector<bool>({true, true, true}));
    EXPECT_EQ(host.shown, std::vector<std::wstring>({L"a.txt", L"b.bin", L".hidden"}));
}

TEST_F(ScriptRuleTest, OnlyABooleanTrueMatches) {
    static const struct {
        const wchar_t* script;
        bool matches;
    } cases[] = {
        {L"function Main() { return true; }", true},
        {L"function Main() {\r\n\treturn false;\r\n}\r\n", false},
        {L"function Main() { return 1; }", false},
        {L"function Main() { return \"true\"; }", false},
        {L"function Main() { }", false},
        {L"function Main() { return new Boolean(true); }", false},
        // Assigned rather than declared, and declared after the statements that use it.
        {L"Main = function () { return true; };", true},
        {L"var ok = check(); function check() { return true; } function Main() { return ok; }",
         true},
    };
    for (const auto& c : cases) {
        QXFileList files = {file("a.txt")};
        auto rule = ruleWith(c.script);
        ScriptedPrompt boxes;
        Host host;
        host.boxes = &boxes;
        ASSERT_TRUE(applyOnWorker(*rule, files, host)) << c.script;
        EXPECT_EQ(rule->verdict(0), c.matches) << c.script;
        EXPECT_TRUE(boxes.boxes.empty()) << c.script;
    }
}

// Each case shows one value with MsgBox.Show; the box's text is what the script saw.
TEST_F(ScriptRuleTest, TargetPropertiesAndGlobalMembers) {
    const int64_t march15 = localTime(2024, 3, 15, 12);
    QXFileInfoPtr archive = file("sub/archive.tar.gz", "123456789", march15);
    const std::wstring folder = tovy::fromUtf8(m_dir / "sub");
    static const struct {
        const wchar_t* expression;
        std::wstring expected;
    } cases[] = {
        {L"target.fileName", L"archive.tar.gz"},
        {L"target.fileNameNoExt", L"archive.tar"},
        {L"target.fileExt", L".gz"},
        {L"target.fileSize + 1", L"10"},
        {L"typeof target.fileSize", L"number"},
        {L"target.dir", folder},
        {L"target.path", folder + L"/archive.tar.gz"},
        {L"target.attribHidden + ',' + target.attribSystem + ',' + target.attribReadOnly + ',' + "
         L"target.attribArchive",
         L"false,false,false,false"},
        {L"target.updateTime.getMonth()", L"2"},
        {L"target.updateTime.getDate() + ' ' + target.updateTime.getHours()", L"15 12"},
        {L"target.updateTime.getTime() / 1000", std::to_wstring(march15)},
        {L"target.updateTime instanceof Date", L"true"},
        {L"target.crc32", L"2639f4cb"},
        {L"target.md5", L"25f9e794323b453885f5181f1b624d0b"},
        {L"target.sha2_256.length + ' ' + target.sha2_512.length + ' ' + target.sha1.length",
         L"64 128 40"},
        {L"target.imageWidth + 'x' + target.imageHeight", L"0x0"},
        // Names without regard to case, and without "target."
        {L"target.FILENAME + ' ' + target.FileExt", L"archive.tar.gz .gz"},
        {L"fileName + ' ' + FileNameNoExt + ' ' + CRC32", L"archive.tar.gz archive.tar 2639f4cb"},
        {L"typeof target.noSuchProperty", L"undefined"},
        {L"(function () { target.fileName = 'x'; return target.fileName; })()", L"archive.tar.gz"},
    };
    for (const auto& c : cases) {
        auto rule = ruleWith(L"function Main() {\r\n\tMsgBox.Show(String(" +
                             std::wstring(c.expression) + L"));\r\n\treturn true;\r\n}\r\n");
        ScriptedPrompt boxes;
        Host host;
        host.boxes = &boxes;
        ASSERT_TRUE(applyOnWorker(*rule, {archive}, host)) << c.expression;
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.expression;
        EXPECT_EQ(boxes.boxes[0].text, c.expected) << c.expression;
        EXPECT_EQ(boxes.boxes[0].caption, L"Script") << c.expression;
        EXPECT_TRUE(rule->verdict(0)) << c.expression;
    }
    // The digest the script asked for last is the record's comparison text.
    ASSERT_TRUE(archive->extrasIfAny() && archive->extrasIfAny()->digests);
    EXPECT_EQ(archive->extrasIfAny()->digests->crc32, L"2639f4cb");
}

TEST_F(ScriptRuleTest, MsgBoxShowTakesOneOrTwoArguments) {
    auto rule = ruleWith(
        L"function Main() { MsgBox.Show('text only'); MsgBox.show('text', 'caption'); "
        L"MsgBox.Show(); MsgBox.Show('a', 'b', 'c'); Show('global member'); return true; }");
    ScriptedPrompt boxes;
    Host host;
    host.boxes = &boxes;
    ASSERT_TRUE(applyOnWorker(*rule, {file("a.txt")}, host));
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_EQ(boxes.boxes[0].text + L"|" + boxes.boxes[0].caption, L"text only|Script");
    EXPECT_EQ(boxes.boxes[1].text + L"|" + boxes.boxes[1].caption, L"text|caption");
    EXPECT_EQ(boxes.boxes[2].text + L"|" + boxes.boxes[2].caption, L"global member|Script");
}

TEST_F(ScriptRuleTest, GlobalsKeepTheirValuesWithinOnePass) {
    // Statements outside functions run for every file; the counter lives on.
    auto rule = ruleWith(
        L"var count = (typeof count === 'undefined') ? 1 : count + 1;\r\n"
        L"function Main() { return count == 2; }\r\n");
    QXFileList files = {file("a"), file("b"), file("c")};
    for (int pass = 0; pass < 2; ++pass) {
        Host host;
        ASSERT_TRUE(applyOnWorker(*rule, files, host));
        // A new pass has a new engine, so the count starts again.
        EXPECT_EQ(rule->verdicts(), std::vector<bool>({false, true, false})) << pass;
    }
}

TEST_F(ScriptRuleTest, DecidedRecordsAreNotRun) {
    QXFileList files = {file("a"), file("b")};
    files[0]->addFlags(QXFileInfo::kDecided);
    QXScriptRule rule;
    Host host;
    ASSERT_TRUE(applyOnWorker(rule, files, host));
    EXPECT_EQ(rule.verdicts(), std::vector<bool>({false, true}));
    EXPECT_EQ(host.shown, std::vector<std::wstring>({L"b"}));
}

// Every examined file reports its failure once: the first in a box, all of them in the
// log with the file's path, so thousands of files cost one box.
TEST_F(ScriptRuleTest, FailuresReportOncePerExaminedFile) {
    static const struct {
        const wchar_t* script;
        const wchar_t* caption;
    } cases[] = {
        {L"function Main( {\r\n}\r\n", L"SyntaxError"},
        {L"function Main() { return undefinedName + 1; }", L"ReferenceError"},
        {L"function Main() { throw new Error('made to fail'); }", L"Error"},
        {L"function Other() { return true; }", L"Error"},
        {L"function Main() { return target.fileName; }\r\ntarget = null;", nullptr},
    };
    for (const auto& c : cases) {
        QXFileList files = {file("one.txt"), file("two.txt"), file("three.txt")};
        files[2]->addFlags(QXFileInfo::kDecided);
        auto rule = ruleWith(c.script);
        LogCapture log;
        ScriptedPrompt boxes;
        Host host;
        host.boxes = &boxes;
        ASSERT_TRUE(applyOnWorker(*rule, files, host)) << c.script;
        EXPECT_EQ(rule->verdicts(), std::vector<bool>({false, false, false})) << c.script;
        if (!c.caption) {
            // Reassigning the item is refused: the script still reads the file.
            EXPECT_TRUE(boxes.boxes.empty()) << c.script;
            continue;
        }
        ASSERT_EQ(boxes.boxes.size(), 1u) << c.script;
        EXPECT_EQ(boxes.boxes[0].caption, c.caption) << c.script;
        EXPECT_EQ(boxes.boxes[0].icon, QXIcon::Error) << c.script;
        // The decided third file is not examined, so it reports nothing.
        std::vector<std::wstring> reports;
        for (const std::wstring& line : log.messages()) {
            if (line.find(L"QXScriptRule : ") == 0) reports.push_back(line);
        }
        ASSERT_EQ(reports.size(), 2u) << c.script;
        EXPECT_NE(reports[0].find(L"/one.txt)"), std::wstring::npos) << tovy::toUtf8(reports[0]);
        EXPECT_NE(reports[1].find(L"/two.txt)"), std::wstring::npos) << tovy::toUtf8(reports[1]);
        EXPECT_NE(reports[0].find(std::wstring(c.caption) + L" : "), std::wstring::npos)
            << tovy::toUtf8(reports[0]);
    }
}

TEST_F(ScriptRuleTest, SyntaxErrorBoxNamesTheLine) {
    auto rule = ruleWith(L"function Main() {\r\n\treturn (1;\r\n}\r\n");
    ScriptedPrompt boxes;
    Host host;
    host.boxes = &boxes;
    ASSERT_TRUE(applyOnWorker(*rule, {file("a")}, host));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].text.find(L"(line 2)"), std::wstring::npos) << boxes.boxes[0].text;
}

TEST_F(ScriptRuleTest, CancelInterruptsAnEndlessLoop) {
    QXAppSettings::instance().scriptTimeLimit = 600;
    auto rule = ruleWith(L"function Main() { for (;;) {} }");
    QXFileList files = {file("a"), file("b")};
    ScriptedPrompt boxes;
    Host host;
    host.boxes = &boxes;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        host.cancel = true;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(applyOnWorker(*rule, files, host));
    canceller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(host.shown, std::vector<std::wstring>({L"a"}));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(rule->verdict(0));
}

TEST_F(ScriptRuleTest, TimeLimitInterruptsOneFileAndTheSearchGoesOn) {
    QXAppSettings::instance().scriptTimeLimit = 1;
    // A try/catch inside the loop does not keep the run alive.
    auto rule = ruleWith(
        L"function Main() {\r\n"
        L"\tif (fileName == 'slow') for (;;) { try { for (;;) {} } catch (e) {} }\r\n"
        L"\treturn true;\r\n}\r\n");
    QXFileList files = {file("slow"), file("quick")};
    LogCapture log;
    ScriptedPrompt boxes;
    Host host;
    host.boxes = &boxes;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(applyOnWorker(*rule, files, host));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(rule->verdicts(), std::vector<bool>({false, true}));
    EXPECT_TRUE(boxes.boxes.empty());
    const std::wstring slowPath = tovy::fromUtf8(m_dir / "slow");
    EXPECT_TRUE(log.has(L"QXScriptRule : The script did not return in time and was stopped. (" +
                        slowPath + L")"));
}

TEST_F(ScriptRuleTest, TimeLimitIsAGeneralSetting) {
    QXAppSettings stored;
    EXPECT_EQ(stored.scriptTimeLimit, 10);
    stored.scriptTimeLimit = 4;
    QXIniFile ini("");
    stored.saveTo(ini);
    EXPECT_NE(ini.serialize().find("[General]"), std::string::npos);
    EXPECT_NE(ini.serialize().find("ScriptTimeLimit=4"), std::string::npos);
    QXAppSettings reloaded;
    reloaded.loadFrom(QXIniFile(ini.serialize()));
    EXPECT_EQ(reloaded.scriptTimeLimit, 4);

    QXAppSettings& settings = QXAppSettings::instance();
    settings.scriptTimeLimit = 3;
    EXPECT_EQ(QXScriptRule::timeLimit(), std::chrono::milliseconds(3000));
    settings.scriptTimeLimit = 0;
    EXPECT_EQ(QXScriptRule::timeLimit(), std::chrono::milliseconds(0));
}

// The stored form of the script through both readers: a document and a preset file.
TEST_F(ScriptRuleTest, StoredFormRoundTrip) {
    static const struct {
        const wchar_t* script;
        const wchar_t* readBack;  // null: the script itself
    } cases[] = {
        {QXScriptRule::kDefaultScript, nullptr},
        {L"function Main() {\r\n\tvar s = \"a=b\\tc\\\\\";\r\n\t// {x} \"q\" 'y'\r\n"
         L"\treturn s.length == 7;\r\n}\r\n",
         nullptr},
        {L"\"\"", nullptr},
        {L"a\\", nullptr},
        // Lone line breaks come back as CR LF.
        {L"var a = 1;\nvar b = 2;\rfunction Main() { return true; }",
         L"var a = 1;\r\nvar b = 2;\r\nfunction Main() { return true; }"},
    };
    for (const auto& c : cases) {
        const std::wstring expected = c.readBack ? c.readBack : c.script;
        auto rule = std::make_shared<QXScriptRule>();
        rule->setScript(c.script);

        TempDir dir;
        CQuenrixDoc doc;
        doc.rules.push_back(rule);
        const std::string path = dir / "script.qnrx";
        ASSERT_TRUE(doc.onSaveDocument(path)) << c.script;
        CQuenrixDoc back;
        ASSERT_TRUE(back.onOpenDocument(path)) << c.script;
        ASSERT_EQ(back.rules.size(), 1u) << c.script;
        auto* read = dynamic_cast<QXScriptRule*>(back.rules[0].get());
        ASSERT_TRUE(read) << c.script;
        EXPECT_EQ(read->script(), expected) << "document: " << tovy::toUtf8(c.script);

        QXRulePresets presets(dir.path());
        presets.append(QXRulePresets::make(L"p", 0, {rule}));
        ASSERT_TRUE(presets.save()) << c.script;
        QXRulePresets loaded(dir.path());
        ASSERT_TRUE(loaded.load());
        ASSERT_EQ(loaded.list().size(), 1u);
        ASSERT_EQ(loaded.list()[0]->rules.size(), 1u);
        read = dynamic_cast<QXScriptRule*>(loaded.list()[0]->rules[0].get());
        ASSERT_TRUE(read);
        EXPECT_EQ(read->script(), expected) << "preset: " << tovy::toUtf8(c.script);
    }
}

TEST_F(ScriptRuleTest, StoredFormEscapes) {
    const std::wstring script = L"a\tb=\"c\"\r\nd";
    EXPECT_EQ(QXScriptRule::escapeForLine(script), L"a{tab}b{eq}\"c\"{br}d");
    EXPECT_EQ(QXScriptRule::escapeForPair(script), L"a{tab}b={q}c{q}{br}d");
    EXPECT_EQ(QXScriptRule::unescapeStored(L"a{tab}b{eq}{q}c{q}{br}d"), script);

    QXScriptRule rule;
    rule.setScript(script);
    std::wstring lines;
    rule.writeLines(lines);
    EXPECT_NE(lines.find(L"script=\"a{tab}b{eq}\\\"c\\\"{br}d\"\r\n"), std::wstring::npos)
        << tovy::toUtf8(lines);
    QXRulePairs pairs;
    rule.writePairs(pairs);
    ASSERT_GE(pairs.size(), 2u);
    EXPECT_EQ(pairs[1],
              std::make_pair(std::wstring(L"script"), std::wstring(L"\"a{tab}b={q}c{q}{br}d\"")));
}

TEST_F(ScriptRuleTest, RegistryAndClone) {
    QXRulePtr made = createRule(ruletype::kScript);
    ASSERT_TRUE(made);
    auto* script = dynamic_cast<QXScriptRule*>(made.get());
    ASSERT_TRUE(script);
    EXPECT_TRUE(script->fresh());
    EXPECT_EQ(made->priority(), 25);
    EXPECT_EQ(made->kindName(), L"スクリプト");
    EXPECT_EQ(made->typeKey(), L"script");
    script->setScript(L"function Main() { return false; }");
    made->setEnabled(false);
    auto copy = std::dynamic_pointer_cast<QXScriptRule>(made->clone());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->script(), L"function Main() { return false; }");
    EXPECT_FALSE(copy->fresh());
    EXPECT_FALSE(copy->enabled());
}

TEST_F(ScriptRuleTest, LineBreaksOfTheEditBecomeCrLf) {
    EXPECT_EQ(QXScriptRule::withCrLf(L"a\nb\r\nc\rd\n"), L"a\r\nb\r\nc\r\nd\r\n");
}

}  // namespace
}  // namespace quenrix
