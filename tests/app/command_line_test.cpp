#include "app/QuenrixCommandLineInfo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/QXLog.h"
#include "doc/QXAppSettings.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

using test::TempDir;

// The switches a command line leaves in the settings.
struct Switches {
    int32_t autoRun = 0;
    int32_t autoDel = 0;
    int32_t log = 0;
    int32_t removeEmptyFolder = 0;
    int32_t cache = 0;

    bool operator==(const Switches&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Switches& s) {
    return out << "{AutoRun " << s.autoRun << ", AutoDel " << s.autoDel << ", Log " << s.log
               << ", R " << s.removeEmptyFolder << ", Cache " << s.cache << "}";
}

Switches switchesOf(const QXAppSettings& settings) {
    return {settings.cmdAutoRun, settings.cmdAutoDel, settings.cmdLog,
            settings.cmdRemoveEmptyFolder, settings.cmdCache};
}

// A fixture folder with two folders and two documents; relative arguments are taken
// from it. "@" in an argument or an expected path stands for the folder.
class CommandLineTest : public testing::Test {
protected:
    CommandLineTest() {
        dir.createDir("photos");
        dir.createDir("backup");
        dir.createDir("dotted.d");
        dir.createFile("job.qnrx", "qnrx0101txt 03  \r\n");
        dir.createFile("other.qnrx", "qnrx0101txt 03  \r\n");
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer)) m_oldCwd = buffer;
        EXPECT_EQ(::chdir(dir.path().c_str()), 0);
        // The folder as the working folder names it (no link in between).
        m_base = ::getcwd(buffer, sizeof buffer) ? buffer : dir.path();
    }
    ~CommandLineTest() override {
        if (!m_oldCwd.empty()) {
            EXPECT_EQ(::chdir(m_oldCwd.c_str()), 0);
        }
    }

    std::string expand(const std::string& text) const {
        std::string out;
        for (char c : text) {
            if (c == '@')
                out += m_base;
            else
                out += c;
        }
        return out;
    }

    TempDir dir;

private:
    std::string m_oldCwd;
    std::string m_base;
};

TEST_F(CommandLineTest, ArgumentsGiveSwitchesTargetsAndDocument) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        Switches switches;
        std::vector<std::string> folders;
        std::string document;
    } cases[] = {
        {"nothing", {}, {}, {}, ""},
        {"unattended trash run",
         {"/AutoRun", "/D1", "/R", "job.qnrx"},
         {1, 2, 0, 1, 0},
         {},
         "@/job.qnrx"},
        {"dash flags", {"-AutoRun", "-D0", "-Cache", "-Log"}, {1, 1, 1, 0, 1}, {}, ""},
        {"delete and removal switches need AutoRun",
         {"/D1", "/R", "/Cache"},
         {0, 0, 0, 0, 1},
         {},
         ""},
        {"D0 is normal delete, D6 the full DoD mode", {"/AutoRun", "/D6"}, {1, 7, 0, 0, 0}, {}, ""},
        {"the last D flag wins", {"/AutoRun", "/D4", "/D0"}, {1, 1, 0, 0, 0}, {}, ""},
        {"D9 and a lone D change nothing",
         {"/AutoRun", "/D2", "/D9", "/D"},
         {1, 3, 0, 0, 0},
         {},
         ""},
        {"D followed by more digits", {"/AutoRun", "/D12"}, {1, 2, 0, 0, 0}, {}, ""},
        {"flags are case-sensitive",
         {"/autorun", "/AUTORUN", "/d1", "/r", "/cache", "/log"},
         {},
         {},
         ""},
        {"whole-word flags must match whole", {"/AutoRunX", "/Logs", "/CacheOn"}, {}, {}, ""},
        {"any word after R", {"/AutoRun", "/Remove"}, {1, 0, 0, 1, 0}, {}, ""},
        {"unknown flags and the help spelling are ignored",
         {"/X", "-", "--help", "-h"},
         {},
         {},
         ""},
        {"two folders become two targets",
         {"photos", "@/backup/"},
         {},
         {"@/photos", "@/backup"},
         ""},
        {"folders around the document",
         {"photos", "job.qnrx", "backup"},
         {},
         {"@/photos", "@/backup"},
         "@/job.qnrx"},
        {"the first other path is the document",
         {"job.qnrx", "other.qnrx", "./missing.qnrx"},
         {},
         {},
         "@/job.qnrx"},
        {"a document that does not exist is still the one named",
         {"./missing.qnrx", "job.qnrx"},
         {},
         {},
         "@/missing.qnrx"},
        {"dot and dot-slash", {".", "./photos"}, {}, {"@", "@/photos"}, ""},
        {"absolute paths are paths", {"@/job.qnrx", "@/photos"}, {}, {"@/photos"}, "@/job.qnrx"},
        {"a flag-like word with a further slash is a path",
         {"/AutoRun/job.qnrx", "/AutoRun"},
         {1, 0, 0, 0, 0},
         {},
         "/AutoRun/job.qnrx"},
        {"an existing root folder is a path, not a flag", {"/tmp", "/"}, {}, {"/tmp", "/"}, ""},
        {"empty arguments are skipped", {"", "job.qnrx", ""}, {}, {}, "@/job.qnrx"},
        {"a folder with a dot in its name is a target", {"dotted.d"}, {}, {"@/dotted.d"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QXAppSettings settings;
        QuenrixCommandLineInfo info(settings);
        std::vector<std::string> args;
        for (const std::string& arg : c.args) args.push_back(expand(arg));
        info.parseArguments(args);

        EXPECT_EQ(switchesOf(settings), c.switches);
        std::vector<std::string> folders;
        for (const std::string& folder : c.folders) folders.push_back(expand(folder));
        EXPECT_EQ(info.folders(), folders);
        EXPECT_EQ(info.fileName(), expand(c.document));
    }
}

TEST_F(CommandLineTest, FlagOrPath) {
    dir.createDir("R");
    const struct {
        std::string argument;
        bool isFlag;
        std::string flag;
    } cases[] = {
        {"/AutoRun", true, "AutoRun"},
        {"-AutoRun", true, "AutoRun"},
        {"-D1/x", true, "D1/x"},  // a dash always starts a flag
        {"--help", true, "-help"},
        {"-", true, ""},
        {"/D1/x", false, ""},
        {"/tmp", false, ""},  // an existing folder at the root
        {"/", false, ""},
        {"@/R", false, ""},
        {"job.qnrx", false, ""},
        {"R", false, ""},
        {"", false, ""},
    };
    for (const auto& c : cases) {
        const std::string argument = expand(c.argument);
        SCOPED_TRACE(argument);
        std::string flag = "untouched";
        EXPECT_EQ(QuenrixCommandLineInfo::isFlagArgument(argument, &flag), c.isFlag);
        EXPECT_EQ(flag, c.isFlag ? c.flag : "untouched");
    }
}

TEST_F(CommandLineTest, ArgvSkipsTheProgramName) {
    QXAppSettings settings;
    QuenrixCommandLineInfo info(settings);
    std::string program = "/AutoRun", folder = expand("@/photos");
    char* argv[] = {program.data(), folder.data(), nullptr};
    info.parseCommandLine(2, argv);
    EXPECT_EQ(settings.cmdAutoRun, 0);
    EXPECT_EQ(info.folders(), std::vector<std::string>{folder});
}

// The switch lines reach the log (the user's only record of what an unattended run was
// asked to do).
TEST_F(CommandLineTest, SwitchesAreLogged) {
    QXLog::clearQueue();
    QXAppSettings settings;
    QuenrixCommandLineInfo info(settings);
    info.parseArguments({"/AutoRun", "/Log", "/Cache", "/D1", "/Remove", "photos", "/bogus"});
    std::vector<std::wstring> messages;
    for (const std::wstring& line : QXLog::takeQueued()) {
        messages.push_back(line.substr(line.find(L"> ") + 2));
    }
    const std::vector<std::wstring> expected = {
        L"AutoRun enabled.",
        L"Log enabled.",
        L"Cache enabled.",
        L"AutoDel enabled.",
        L"Remove empty folder enabled.",
        L"Add Target.",
    };
    EXPECT_EQ(messages, expected);
}

TEST(CommandLineHelp, AskedWithDashHOrDashDashHelpOnly) {
    const struct {
        std::vector<std::string> argv;
        bool help;
    } cases[] = {
        {{"quenrix", "--help"}, true},    {{"quenrix", "/AutoRun", "-h"}, true},
        {{"quenrix", "-help"}, false},    {{"quenrix", "/h"}, false},
        {{"quenrix", "--HELP"}, false},   {{"-h"}, false},
        {{"quenrix", "job.qnrx"}, false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.argv;
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        EXPECT_EQ(QuenrixCommandLineInfo::wantsHelp(int(args.size()), argv.data()), c.help)
            << testing::PrintToString(c.argv);
    }
}

// Read before the application is made: it picks the display platform and the first-run
// folder, so it must agree with the parser on what the AutoRun switch is.
TEST(CommandLineAutoRun, SeenBeforeParsing) {
    const struct {
        std::vector<std::string> argv;
        bool autoRun;
    } cases[] = {
        {{"quenrix", "/AutoRun", "/D1", "job.qnrx"}, true},
        {{"quenrix", "job.qnrx", "-AutoRun"}, true},
        {{"quenrix", "/autorun"}, false},
        {{"quenrix", "/AutoRunX"}, false},
        {{"quenrix", "AutoRun"}, false},            // a path
        {{"quenrix", "/AutoRun/job.qnrx"}, false},  // a path as well
        {{"/AutoRun", "job.qnrx"}, false},          // the program name is no argument
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.argv;
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        EXPECT_EQ(QuenrixCommandLineInfo::wantsAutoRun(int(args.size()), argv.data()), c.autoRun)
            << testing::PrintToString(c.argv);
        QXAppSettings settings;
        QuenrixCommandLineInfo info(settings);
        info.parseCommandLine(int(args.size()), argv.data());
        EXPECT_EQ(settings.cmdAutoRun != 0, c.autoRun) << testing::PrintToString(c.argv);
    }
}

TEST(CommandLineHelp, NamesEverySwitch) {
    const std::string text = QuenrixCommandLineInfo::helpText();
    for (const char* word : {"/AutoRun", "/D0", "/D1", "/D2", "/D3", "/D4", "/D5", "/D6", "/R",
                             "/Cache", "/Log", "--help", "quenrix /AutoRun /D1 /R job.qnrx"}) {
        EXPECT_NE(text.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(text.back(), '\n');
}

TEST(AutoRunLogPath, ReplacesTheExtensionOfTheLastComponentOnly) {
    const struct {
        const char* document;
        const char* log;
    } cases[] = {
        {"/jobs/weekly.qnrx", "/jobs/weekly.log"},
        {"/jobs/weekly", "/jobs/weekly.log"},
        {"/jobs.d/weekly", "/jobs.d/weekly.log"},  // a dotted folder is no extension
        {"/a.b/c.d/weekly", "/a.b/c.d/weekly.log"},
        {"/jobs/weekly.old.qnrx", "/jobs/weekly.old.log"},
        {"/jobs/weekly.", "/jobs/weekly.log"},
        {"/jobs/.weekly", "/jobs/.weekly.log"},  // a hidden name, not an extension
        {"/jobs/.weekly.qnrx", "/jobs/.weekly.log"},
        {"/jobs/x.log", "/jobs/x.log.log"},  // never the document itself
        {"/jobs/x.LOG", "/jobs/x.LOG.log"},
        {"/jobs/x.Log", "/jobs/x.Log.log"},
        {"/jobs/x.logs", "/jobs/x.log"},
        {"/jobs/週次.設定", "/jobs/週次.log"},
        {"weekly.qnrx", "weekly.log"},
        {".log", ".log.log"},
        {"/", "/.log"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(autoRunLogPath(c.document), c.log) << c.document;
        if (*c.document) {
            EXPECT_NE(autoRunLogPath(c.document), c.document) << c.document;
        }
    }
}

}  // namespace
}  // namespace quenrix
