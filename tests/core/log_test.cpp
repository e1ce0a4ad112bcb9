#include "core/QXLog.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"
#include "support/TestEnv.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

using test::pathExists;
using test::readFile;
using test::TempDir;

const char kLinePattern[] =
    "(?:Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \\d\\d \\d\\d:\\d\\d:\\d\\d> ";

// The message part of a queued line (after the time stamp); the whole line when it has
// none.
std::wstring messageOf(const std::wstring& line) {
    const size_t start = line.find(L"> ");
    return start == std::wstring::npos ? line : line.substr(start + 2);
}

// The file's lines, split at CR LF; the last line must end with one.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

// Sets an environment variable for one scope.
class EnvOverride {
public:
    EnvOverride(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~EnvOverride() {
        if (m_old)
            setenv(m_name, m_old->c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// The log is one per process: every test starts with it enabled, writing at once to a
// fresh file, with an empty queue.
class QXLogTest : public ::testing::Test {
protected:
    void SetUp() override { reset(m_path); }
    void TearDown() override { reset(""); }

    static void reset(const std::string& path) {
        QXLog::setFilePath(path);
        QXLog::setEnabled(true);
        QXLog::setDeferred(false);
        QXLog::clearQueue();
    }

    std::string fileText() const { return readFile(m_path); }
    std::vector<std::string> fileLines() const { return splitLines(fileText()); }

    TempDir m_dir;
    const std::string m_path = m_dir / "Quenrix.log";
};

TEST_F(QXLogTest, WritesOneTimestampedLine) {
    QXLog::Write(L"copied %d files to %s", 3, L"/home/a");
    const std::string text = fileText();
    EXPECT_TRUE(std::regex_match(
        text, std::regex(std::string("^") + kLinePattern + "copied 3 files to /home/a\r\n$")))
        << text;

    std::vector<std::wstring> queued = QXLog::takeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(tovy::toUtf8(queued[0]) + "\r\n", text);
    EXPECT_TRUE(QXLog::takeQueued().empty());
}

TEST_F(QXLogTest, FormatsTheWindowsWay) {
    struct {
        const char* name;
        std::function<void()> write;
        std::wstring message;
    } cases[] = {
        {"wide string", [] { QXLog::Write(L"[%s]", L"wide"); }, L"[wide]"},
        {"wide chars", [] { QXLog::Write(L"%c%c", L'o', L'k'); }, L"ok"},
        {"width and flag", [] { QXLog::Write(L"[%-6s|%4s]", L"ab", L"c"); }, L"[ab    |   c]"},
        {"precision", [] { QXLog::Write(L"%.2s", L"abcdef"); }, L"ab"},
        {"explicit wide", [] { QXLog::Write(L"%ls%lc", L"x", L'y'); }, L"xy"},
        {"narrow string", [] { QXLog::Write(L"%hs", "narrow"); }, L"narrow"},
        {"percent", [] { QXLog::Write(L"100%% done"); }, L"100% done"},
        {"numbers", [] { QXLog::Write(L"%d %u %08X", -4, 4u, 0xBEEFu); }, L"-4 4 0000BEEF"},
        {"64-bit", [] { QXLog::Write(L"%I64d %I64u", int64_t(-5000000000), UINT64_MAX); },
         L"-5000000000 18446744073709551615"},
        {"percent in an argument", [] { QXLog::Write(L"deleted %s", L"/tmp/100%d%s%n"); },
         L"deleted /tmp/100%d%s%n"},
        {"escaped text as format",
         [] { QXLog::Write(QXLog::escapePercent(L"/tmp/50%s off%").c_str()); }, L"/tmp/50%s off%"},
        {"lossless units", [] { QXLog::Write(L"%s", tovy::fromUtf8("\x8E\xCA").c_str()); },
         tovy::fromUtf8("\x8E\xCA")},
    };
    for (const auto& c : cases) {
        QXLog::clearQueue();
        c.write();
        std::vector<std::wstring> queued = QXLog::takeQueued();
        ASSERT_EQ(queued.size(), 1u) << c.name;
        EXPECT_EQ(messageOf(queued[0]), c.message) << c.name;
    }
    EXPECT_EQ(QXLog::escapePercent(L"a%b%%"), L"a%%b%%%%");
}

TEST_F(QXLogTest, FileIsUtf8WithoutByteOrderMark) {
    QXLog::Write(L"%s", L"写真フォルダ");
    QXLog::Write(L"%s", tovy::fromUtf8("\x8E\xCA.jpg").c_str());
    const std::string text = fileText();
    ASSERT_GE(text.size(), 3u);
    EXPECT_NE(text.substr(0, 3), "\xEF\xBB\xBF");

    std::vector<std::string> lines = fileLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(messageOf(tovy::fromUtf8(lines[0])), L"写真フォルダ");
    // A byte that is not UTF-8 goes back to the file as that byte.
    EXPECT_EQ(lines[1].substr(lines[1].size() - 6), "\x8E\xCA.jpg");
}

TEST_F(QXLogTest, LineFeedsBecomeCrLf) {
    QXLog::Write(L"first\nsecond\n");
    const std::string text = fileText();
    const std::string tail = "> first\r\nsecond\r\n\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST_F(QXLogTest, AppendsToWhatIsThere) {
    m_dir.createFile("Quenrix.log", "earlier run\r\n");
    QXLog::Write(L"one");
    QXLog::Write(L"two");
    std::vector<std::string> lines = fileLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "earlier run");
    EXPECT_TRUE(lines[1].ends_with("> one"));
    EXPECT_TRUE(lines[2].ends_with("> two"));
}

TEST_F(QXLogTest, UnopenableFileLosesOnlyThatLine) {
    const std::string path = m_dir / "later/Quenrix.log";
    QXLog::setFilePath(path);
    QXLog::Write(L"lost");
    EXPECT_FALSE(pathExists(path));

    m_dir.createDir("later");
    QXLog::Write(L"kept");
    std::vector<std::string> lines = splitLines(readFile(path));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0].ends_with("> kept"));

    std::vector<std::wstring> queued = QXLog::takeQueued();
    ASSERT_EQ(queued.size(), 2u);
    EXPECT_EQ(messageOf(queued[0]), L"lost");
    EXPECT_EQ(messageOf(queued[1]), L"kept");
}

TEST_F(QXLogTest, NothingForNullFormatOrWhileDisabled) {
    QXLog::Write(nullptr);
    QXLog::setEnabled(false);
    EXPECT_FALSE(QXLog::enabled());
    QXLog::Write(L"hidden %d", 1);
    EXPECT_FALSE(pathExists(m_path));
    EXPECT_TRUE(QXLog::takeQueued().empty());

    QXLog::setEnabled(true);
    QXLog::Write(L"shown");
    EXPECT_EQ(fileLines().size(), 1u);
    EXPECT_EQ(QXLog::takeQueued().size(), 1u);
}

TEST_F(QXLogTest, LongMessagesAreCut) {
    const std::wstring longText(20000, L'x');
    struct {
        const char* name;
        std::function<void()> write;
    } cases[] = {
        {"long argument", [&] { QXLog::Write(L"%s", longText.c_str()); }},
        {"long format", [&] { QXLog::Write(longText.c_str()); }},
        {"long argument then more", [&] { QXLog::Write(L"%s%d", longText.c_str(), 5); }},
    };
    for (const auto& c : cases) {
        c.write();
        std::vector<std::wstring> queued = QXLog::takeQueued();
        ASSERT_EQ(queued.size(), 1u) << c.name;
        const std::wstring message = messageOf(queued[0]);
        EXPECT_EQ(message, longText.substr(0, QXLog::kBufferUnits - 1)) << c.name;
    }
    std::vector<std::string> lines = fileLines();
    ASSERT_EQ(lines.size(), 3u);
    for (const std::string& line : lines)
        EXPECT_TRUE(line.ends_with("> " + std::string(8191, 'x')));
}

TEST_F(QXLogTest, QueueKeepsTheNewestLines) {
    QXLog::setFilePath("");
    const int total = int(QXLog::kQueueLimit) + 5;
    for (int i = 0; i < total; ++i) QXLog::Write(L"%d", i);
    std::vector<std::wstring> queued = QXLog::takeQueued();
    ASSERT_EQ(queued.size(), QXLog::kQueueLimit);
    EXPECT_EQ(messageOf(queued.front()), L"5");
    EXPECT_EQ(messageOf(queued.back()), std::to_wstring(total - 1));
}

TEST_F(QXLogTest, ConcurrentWritersProduceWholeLines) {
    constexpr int kThreads = 4;
    constexpr int kLinesEach = 100;
    const std::wstring padding(200, L'.');
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kLinesEach; ++i) QXLog::Write(L"w%d l%d %s", t, i, padding.c_str());
        });
    }
    for (std::thread& w : writers) w.join();

    const std::regex line(std::string("^") + kLinePattern + "w(\\d) l(\\d+) \\.{200}$");
    std::set<std::pair<int, int>> seen;
    for (const std::string& text : fileLines()) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        seen.insert({std::stoi(m[1]), std::stoi(m[2])});
    }
    EXPECT_EQ(seen.size(), size_t(kThreads * kLinesEach));
    EXPECT_EQ(QXLog::takeQueued().size(), size_t(kThreads * kLinesEach));
}

TEST_F(QXLogTest, DeferredLinesWaitForFlush) {
    QXLog::Write(L"before");
    QXLog::setDeferred(true);
    QXLog::Write(L"held 1");
    QXLog::Write(L"held 2");
    EXPECT_EQ(fileLines().size(), 1u);
    EXPECT_EQ(QXLog::takeQueued().size(), 3u);

    QXLog::setDeferred(false);
    QXLog::Flush();
    std::vector<std::string> lines = fileLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[1].ends_with("> held 1"));
    EXPECT_TRUE(lines[2].ends_with("> held 2"));
}

TEST_F(QXLogTest, DefaultFilePathMakesItsFolders) {
    const std::string data = m_dir / "data";
    {
        EnvOverride env("XDG_DATA_HOME", data);
        const std::string folder = data + "/Talvor software/Quenrixx";
        EXPECT_EQ(QXLog::defaultFilePath(), folder + "/Quenrix.log");
        EXPECT_TRUE(pathExists(folder));
        // Asking again finds the folders there.
        EXPECT_EQ(QXLog::defaultFilePath(), folder + "/Quenrix.log");
    }
    {
        EnvOverride env("XDG_DATA_HOME", m_dir.createFile("not-a-folder"));
        EXPECT_EQ(QXLog::defaultFilePath(), "");
    }
    // The test environment's own data folder.
    const std::string expected =
        test::testHome() + "/.local/share/Talvor software/Quenrixx/Quenrix.log";
    EXPECT_EQ(QXLog::defaultFilePath(), expected);
}

}  // namespace
}  // namespace quenrix
