#include "doc/QXAppSettings.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/QXLog.h"
#include "doc/QXFolderHistory.h"
#include "doc/QXIniFile.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

using test::pathExists;
using test::readFile;
using test::TempDir;

TEST(DocIniFile, ReadsLikeTheProfileFunctions) {
    const QXIniFile ini(
        "top=before any section\n"
        "[general]\r\n"
        "  Name = spaced value  \r\n"
        "quoted=\"  kept blanks \"\n"
        "single='x'\n"
        "lone=\"\n"
        "half=\"open\n"
        "name=second is ignored\n"
        "empty=\n"
        "bare\n"
        "hex=0x1F\n"
        "neg=-42\n"
        "lead= +7 apples\n"
        "junk=abc\n"
        "wrap=4294967297\n"
        "[Other]\n"
        "name=other section\n"
        "[GENERAL]\n"
        "late=a repeated section is not read\n");
    static const struct {
        const char* section;
        const char* key;
        const char* expected;  // nullptr: missing
    } strings[] = {
        {"General", "name", "spaced value"},
        {" general ", "NAME", "spaced value"},
        {"general", "quoted", "  kept blanks "},
        {"general", "single", "x"},
        {"general", "lone", "\""},
        {"general", "half", "\"open"},
        {"general", "empty", ""},
        {"general", "bare", ""},
        {"other", "Name", "other section"},
        {"general", "late", nullptr},
        {"general", "missing", nullptr},
        {"nosuch", "name", nullptr},
        {"", "top", nullptr},
    };
    for (const auto& c : strings) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.hasKey(c.section, c.key), c.expected != nullptr);
        EXPECT_EQ(ini.getString(c.section, c.key, "DEF"), c.expected ? c.expected : "DEF");
    }
    static const struct {
        const char* key;
        int32_t expected;
    } ints[] = {
        {"hex", 31}, {"neg", -42}, {"lead", 7},    {"junk", 0},
        {"wrap", 1}, {"empty", 5}, {"missing", 5}, {"name", 0},
    };
    for (const auto& c : ints) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(ini.getInt("General", c.key, 5), c.expected);
    }
}

TEST(DocIniFile, WritesValuesThatReadBackAndNothingElse) {
    const std::string original =
        "; a comment line\n"
        "[General]\n"
        "Keep=me\n"
        "Change=old\n"
        "\n"
        "[Recent File List]\n"
        "File1=/home/u/a.cst\n";
    QXIniFile ini(original);
    static const char* values[] = {
        "plain", "  leading and trailing  ", "\"quoted\"",         "'single'", "\"",
        "",      "日本語のフォルダ",         "bad \xff\xfe bytes", "a=b=c",    "[not a section]",
    };
    int n = 0;
    for (const char* value : values) {
        SCOPED_TRACE(value);
        const std::string key = "Value" + std::to_string(++n);
        ASSERT_TRUE(ini.setString("New Section", key, value));
        EXPECT_EQ(QXIniFile(ini.serialize()).getString("new section", key), value);
    }
    // A line break or a zero byte could start a key of its own: refused, nothing changes.
    const std::string before = ini.serialize();
    EXPECT_FALSE(ini.setString("General", "Change", "/tmp/x\nDir2=/evil"));
    EXPECT_FALSE(ini.setString("General", "Change", "/tmp/x\rDir2=/evil"));
    EXPECT_FALSE(ini.setString("General", "Change", std::string("a\0b", 3)));
    EXPECT_FALSE(ini.setString("General", "a=b", "x"));
    EXPECT_FALSE(ini.setString("General", "[x]", "x"));
    EXPECT_FALSE(ini.setString("Gen\neral", "x", "x"));
    EXPECT_EQ(ini.serialize(), before);

    ASSERT_TRUE(ini.setString("general", "CHANGE", "new"));
    ASSERT_TRUE(ini.setInt("General", "Added", -3));
    const std::string text = ini.serialize();
    // The key keeps its place and spelling; a new key ends its section, before the blank
    // line; other lines stay as they were.
    EXPECT_EQ(text.substr(0, text.find("[New Section]")),
              "; a comment line\n"
              "[General]\n"
              "Keep=me\n"
              "Change=new\n"
              "Added=-3\n"
              "\n"
              "[Recent File List]\n"
              "File1=/home/u/a.cst\n"
              "\n");
}

TEST(DocIniFile, AnEmptyFileTakesSectionsAndValues) {
    QXIniFile ini;
    ASSERT_TRUE(ini.setString("General", "Key", "value"));
    ASSERT_TRUE(ini.setString("Other", "Key", "second"));
    const QXIniFile back(ini.serialize());
    EXPECT_EQ(back.getString("general", "key"), "value");
    EXPECT_EQ(back.getString("other", "key"), "second");
    EXPECT_EQ(QXIniFile().serialize(), "");
}

TEST(DocIniFile, SurvivesArbitraryBytesWithoutLosingAny) {
    std::mt19937 random(20261210);
    const char alphabet[] =
        "[]=\"' \t\r\n\0\x1a\xef\xbb\xbf\xff\xc3\xa9"
        "Dir1General0x-";
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        const size_t length = random() % 200;
        for (size_t i = 0; i < length; ++i) {
            bytes += (random() % 4 == 0) ? char(random() % 256)
                                         : alphabet[random() % (sizeof(alphabet) - 1)];
        }
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.erase(0, 3);
        if (!bytes.empty() && bytes.back() != '\n') bytes += '\n';
        QXIniFile ini(bytes);
        ASSERT_EQ(ini.serialize(), bytes) << "round " << round;
        ini.getString("General", "Dir1");
        ini.getInt("General", "Dir1", 0);
        ASSERT_TRUE(ini.setString("General", "Dir1", "/x"));
        ASSERT_EQ(QXIniFile(ini.serialize()).getString("General", "Dir1"), "/x");
    }
}

TEST(DocIniFile, ByteOrderMarkIsWrittenBackSoTheFirstLineKeepsItsMeaning) {
    // The first line itself begins with the mark's bytes: without the file's own mark in
    // front of it, a reread would drop them and take the line for a section.
    const std::string bytes = "\xEF\xBB\xBF\xEF\xBB\xBF[General]\nShowGrid=0\n";
    QXIniFile ini(bytes);
    EXPECT_FALSE(ini.hasKey("General", "ShowGrid"));
    EXPECT_EQ(ini.serialize(), bytes);
    ASSERT_TRUE(ini.setInt("General", "ShowGrid", 1));
    const QXIniFile reread(ini.serialize());
    EXPECT_EQ(reread.serialize(), ini.serialize());
    EXPECT_EQ(reread.getInt("General", "ShowGrid", -1), 1);
    EXPECT_EQ(QXIniFile("[General]\n").serialize(), "[General]\n");
}

class DocAppSettings : public testing::Test {
protected:
    QXAppSettings::Places places() const { return {m_dir / "exe", "alice", m_dir / "config"}; }
    void SetUp() override { m_dir.createDir("exe"); }

    TempDir m_dir;
};

TEST_F(DocAppSettings, MissingKeysKeepTheHeldValues) {
    QXAppSettings settings;
    settings.susiePath = "/plugins";
    settings.thumbnailMargin = 3;
    settings.frameWindow = {10, 20, 110, 220};
    settings.loadFrom(
        QXIniFile("[General]\nShowGrid=0\nColorBack=255\nColumns=Path\n"
                  "SusiePath=\nFrameWindowX=5\nFrameWindowW=100\n"));
    EXPECT_EQ(settings.showGrid, 0);
    EXPECT_EQ(settings.colorBack, 0x0000FFu);
    EXPECT_EQ(settings.columns, L"Path");
    EXPECT_EQ(settings.susiePath, "");  // present but empty
    EXPECT_EQ(settings.thumbnailMargin, 3);
    EXPECT_EQ(settings.defaultRunMode, 2);
    EXPECT_EQ(settings.colorBackEven, 0xC0FFFFu);
    // The window's place is -1 where missing, and the size turns into right and bottom.
    EXPECT_EQ(settings.frameWindow.left, 5);
    EXPECT_EQ(settings.frameWindow.right, 105);
    EXPECT_EQ(settings.frameWindow.top, -1);
    EXPECT_EQ(settings.frameWindow.bottom, -2);
    EXPECT_EQ(settings.frameWindowShow, -1);
}

TEST_F(DocAppSettings, CountedListsStopAtTheCountOrTheFirstEmptyValue) {
    const std::vector<std::wstring> defaults = QXAppSettings().ignoreFile;
    static const struct {
        const char* name;
        const char* file;
        std::vector<std::wstring> patterns;
        std::vector<std::wstring> ignores;
    } cases[] = {
        {"empty second value",
         "PatternMatchCount=3\nPatternMatch_1=*.tmp\nPatternMatch_3=*.bak\n",
         {L"*.tmp"},
         defaults},
        {"count zero keeps the defaults", "IgnoreFileCount=0\nIgnoreFile_1=x\n", {}, defaults},
        {"first value empty keeps the defaults",
         "IgnoreFileCount=2\nIgnoreFile_2=x\n",
         {},
         defaults},
        {"count cuts the list",
         "IgnoreFileCount=1\nIgnoreFile_1=a.db\nIgnoreFile_2=b.db\n",
         {},
         {L"a.db"}},
        {"huge count ends at the values",
         "IgnoreFileCount=2147483647\nIgnoreFile_1=a\n",
         {},
         {L"a"}},
        {"negative count", "PatternMatchCount=-1\nPatternMatch_1=a\n", {}, defaults},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QXAppSettings settings;
        settings.loadFrom(QXIniFile(std::string("[SearchEmptyFolder]\n") + c.file));
        EXPECT_EQ(settings.patternMatch, c.patterns);
        EXPECT_EQ(settings.ignoreFile, c.ignores);
    }
}

TEST_F(DocAppSettings, FolderHistoryLoadsInOrderWithoutRepeats) {
    QXAppSettings settings;
    settings.loadFrom(
        QXIniFile("[Target MRU list]\nDir1=/a\nDir2=/b\nDir3=/a\nDir4=\nDir5=/c\nDir11=/z\n"));
    EXPECT_EQ(settings.folderHistory, (std::vector<std::string>{"/b", "/a", "/c"}));

    QXFolderHistory history;
    for (const std::string& path : settings.folderHistory) history.loadAppend(path);
    history.enter("/c");  // the third entry becomes the first
    settings.folderHistory = history.entries();

    // A folder whose name holds a line break is left out and cannot add a key; the place
    // an earlier, longer list used is emptied so it does not come back.
    settings.folderHistory.insert(settings.folderHistory.begin() + 1, "/evil\nDir9=/injected");
    QXIniFile ini("[Target MRU list]\nDir1=/old1\nDir2=/old2\nDir3=/old3\nDir4=/old4\n");
    settings.saveTo(ini);
    EXPECT_EQ(ini.getString("Target MRU list", "Dir1"), "/c");
    EXPECT_EQ(ini.getString("Target MRU list", "Dir2"), "/b");
    EXPECT_EQ(ini.getString("Target MRU list", "Dir3"), "/a");
    EXPECT_EQ(ini.getString("Target MRU list", "Dir4", "missing"), "");
    EXPECT_FALSE(ini.hasKey("Target MRU list", "Dir9"));
    QXAppSettings reloaded;
    reloaded.loadFrom(QXIniFile(ini.serialize()));
    EXPECT_EQ(reloaded.folderHistory, (std::vector<std::string>{"/c", "/b", "/a"}));
}

TEST_F(DocAppSettings, FirstRunBesideTheExecutableWritesEveryDefault) {
    QXAppSettings settings;
    ASSERT_FALSE(settings.locate(places()));
    ASSERT_TRUE(settings.createFolder(QXAppSettings::kExeFolder, places()));
    EXPECT_EQ(settings.settingsFolder(), m_dir / "exe/");
    ASSERT_TRUE(settings.save());
    EXPECT_EQ(readFile(m_dir / "exe/Quenrix.ini"),
              "[General]\n"
              "SusiePath=\n"
              "ColorBack=16777215\n"
              "ColorBackOdd=16777215\n"
              "ColorBackEven=12648447\n"
              "ColorText=0\n"
              "Recycle=1\n"
              "ShowGrid=1\n"
              "ShowTotalFileSize=0\n"
              "Logging=1\n"
              "CheckSubFolder=0\n"
              "FrameWindowX=-1\n"
              "FrameWindowY=-1\n"
              "FrameWindowW=-1\n"
              "FrameWindowH=-1\n"
              "FrameWindowShow=-1\n"
              "Columns=FileName,Path,FileSize,Last updated time,Image size,Hash\n"
              "ColumnWidth=\n"
              "ThumbnailSize=300\n"
              "ThumbnailDispSize=120\n"
              "ThumbnailMargin=8\n"
              "ShowThumbnail=0\n"
              "EnableZoomIn=0\n"
              "Cache=0\n"
              "DefaultRunMode=2\n"
              "ScriptTimeLimit=10\n"
              "\n"
              "[SearchEmptyFolder]\n"
              "PatternMatchCount=0\n"
              "IgnoreFileCount=4\n"
              "IgnoreFile_1=thumbs.db\n"
              "IgnoreFile_2=desktop.ini\n"
              "IgnoreFile_3=_catalog.vix\n"
              "IgnoreFile_4=picasa.ini\n");
    QXAppSettings again;
    EXPECT_TRUE(again.locate(places()));
    EXPECT_EQ(again.settingsFolder(), m_dir / "exe/");
}

TEST_F(DocAppSettings, LocateTakesTheFirstFileInOrder) {
    QXAppSettings settings;
    m_dir.createFile("config/Talvor/Quenrix/Quenrix.ini");
    ASSERT_TRUE(settings.locate(places()));
    EXPECT_EQ(settings.settingsFolder(), m_dir / "config/Talvor/Quenrix/");
    m_dir.createFile("exe/alice/Quenrix.ini");
    ASSERT_TRUE(settings.locate(places()));
    EXPECT_EQ(settings.settingsFolder(), m_dir / "exe/alice/");
    m_dir.createFile("exe/Quenrix.ini");
    ASSERT_TRUE(settings.locate(places()));
    EXPECT_EQ(settings.settingsFolder(), m_dir / "exe/");
}

TEST_F(DocAppSettings, CreateFolderMakesTheChosenFolder) {
    QXAppSettings settings;
    ASSERT_TRUE(settings.createFolder(QXAppSettings::kUserConfig, places()));
    EXPECT_EQ(settings.settingsFolder(), m_dir / "config/Talvor/Quenrix/");
    EXPECT_TRUE(pathExists(m_dir / "config/Talvor/Quenrix"));

    ASSERT_TRUE(settings.createFolder(QXAppSettings::kExeFolderLogon, places()));
    EXPECT_EQ(settings.settingsFolder(), m_dir / "exe/alice/");
    EXPECT_TRUE(pathExists(m_dir / "exe/alice"));

    QXAppSettings::Places noLogon = places();
    noLogon.logonName.clear();
    ASSERT_TRUE(settings.createFolder(QXAppSettings::kExeFolderLogon, noLogon));
    EXPECT_EQ(settings.settingsFolder(), m_dir / "exe/");

    // A file where the folder should be: no folder, and the settings folder is empty.
    QXAppSettings::Places blocked = places();
    blocked.configFolder = m_dir.createFile("blocked");
    EXPECT_FALSE(settings.createFolder(QXAppSettings::kUserConfig, blocked));
    EXPECT_EQ(settings.settingsFolder(), "");
}

TEST_F(DocAppSettings, SaveKeepsOtherKeysAndLoadRoundTrips) {
    const std::string path =
        m_dir.createFile("exe/Quenrix.ini",
                         "[Recent File List]\nFile1=/home/u/a.cst\n"
                         "[SearchEmptyFolder]\nPatternMatchCount=5\nPatternMatch_5=left over\n");
    QXAppSettings settings;
    settings.setSettingsFolder(m_dir / "exe");
    settings.colorBack = 0x123456;
    settings.susiePath = "/plug ins ";
    settings.columnWidth = L"200,300";
    settings.patternMatch = {L"*.tmp", L"", L"new\nline", L"~*"};
    settings.folderHistory = {"/x", "/y"};
    settings.frameWindow = {-8, 10, 1000, 700};
    settings.frameWindowShow = QXGeneralSettings::kWindowMaximized;
    ASSERT_TRUE(settings.save());

    const QXIniFile ini(readFile(path));
    EXPECT_EQ(ini.getString("Recent File List", "File1"), "/home/u/a.cst");
    EXPECT_EQ(ini.getString("SearchEmptyFolder", "PatternMatch_5"), "left over");
    EXPECT_EQ(ini.getInt("SearchEmptyFolder", "PatternMatchCount", -1), 2);
    EXPECT_EQ(ini.getInt("General", "FrameWindowW", 0), 1008);

    QXAppSettings loaded;
    loaded.setSettingsFolder(m_dir / "exe");
    ASSERT_TRUE(loaded.load());
    EXPECT_TRUE(loaded.general() == settings.general());
    EXPECT_EQ(loaded.patternMatch, (std::vector<std::wstring>{L"*.tmp", L"~*"}));
    EXPECT_EQ(loaded.folderHistory, settings.folderHistory);
    EXPECT_EQ(loaded.profileString("recent file list", "file1"), "/home/u/a.cst");
}

TEST_F(DocAppSettings, AFileThatCannotBeReadIsNotReplaced) {
    m_dir.createDir("exe/Quenrix.ini/inside");
    QXAppSettings settings;
    settings.setSettingsFolder(m_dir / "exe/");
    EXPECT_FALSE(settings.save());
    EXPECT_FALSE(settings.load());
    EXPECT_TRUE(pathExists(m_dir / "exe/Quenrix.ini/inside"));
}

TEST_F(DocAppSettings, LoadSwitchesTheLogAfterLogging) {
    m_dir.createFile("exe/Quenrix.ini", "[General]\nLogging=0\n");
    QXAppSettings settings;
    settings.setSettingsFolder(m_dir / "exe/");
    ASSERT_TRUE(settings.load());
    EXPECT_FALSE(QXLog::enabled());
    settings.logging = 1;
    ASSERT_TRUE(settings.save());
    ASSERT_TRUE(settings.load());
    EXPECT_TRUE(QXLog::enabled());
}

}  // namespace
}  // namespace quenrix
