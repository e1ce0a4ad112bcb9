// The real quenrix binary on fixture trees: the unattended run (/AutoRun with /D and /R),
// the command line around it, and the exit status scripts rely on. Every run has no
// display, a HOME of its own and a time-out after which it is killed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/QXTarget.h"
#include "doc/CQuenrixDoc.h"
#include "rule/QXCheckDuplicateRule.h"
#include "support/TempDir.h"

extern char** environ;

namespace quenrix {
namespace {

using namespace std::chrono_literals;
using test::pathExists;
using test::readFile;
using test::TempDir;

constexpr auto kRunTimeout = 60s;
// How long a run that opens a window is given: it is killed once it has logged what the
// test waits for and kGrace has passed, or at this time-out.
constexpr auto kWindowedRun = 30s;
constexpr auto kGrace = 2s;

struct RunResult {
    int status = -1;        // the exit status, or -1 when killed or ended by a signal
    bool timedOut = false;  // still running at the deadline (and then killed)
    std::string out;
    std::string err;
};

bool lineStartsWith(const char* entry, const char* name) {
    const size_t n = std::strlen(name);
    return std::strncmp(entry, name, n) == 0 && entry[n] == '=';
}

// One program's world: its HOME and XDG folders, the working folder of its runs.
class Sandbox {
public:
    Sandbox() {
        for (const char* sub : {"/.config", "/.local/share", "/.cache", "/.local/state"}) {
            m_home.createDir(sub + 1);
        }
    }

    const std::string& home() const { return m_home.path(); }
    std::string dataHome() const { return home() + "/.local/share"; }
    std::string configHome() const { return home() + "/.config"; }
    std::string userLog() const { return dataHome() + "/Talvor software/Quenrixx/Quenrix.log"; }
    // An empty settings file where a first run would make it: a window run then opens
    // its main window instead of the first-run dialog.
    void createSettings() const { m_home.createFile(".config/Talvor/Quenrix/Quenrix.ini"); }

    // The environment of a run: this process's without any display, then the sandbox's
    // HOME and XDG folders and `extra` ("NAME=value").
    std::vector<std::string> environment(const std::vector<std::string>& extra) const {
        static const char* const kDropped[] = {
            "DISPLAY",         "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "HOME",
            "XDG_CONFIG_HOME", "XDG_DATA_HOME",   "XDG_CACHE_HOME",  "XDG_STATE_HOME",
            "XDG_RUNTIME_DIR", "ASAN_OPTIONS"};
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            bool dropped = false;
            for (const char* name : kDropped) dropped = dropped || lineStartsWith(*e, name);
            if (!dropped) env.emplace_back(*e);
        }
        env.push_back("HOME=" + home());
        env.push_back("XDG_CONFIG_HOME=" + configHome());
        env.push_back("XDG_DATA_HOME=" + dataHome());
        env.push_back("XDG_CACHE_HOME=" + home() + "/.cache");
        env.push_back("XDG_STATE_HOME=" + home() + "/.local/state");
        env.push_back("XDG_RUNTIME_DIR=" + home());
        // Qt keeps some allocations to the end; a leak report would change the status.
        env.push_back("ASAN_OPTIONS=detect_leaks=0");
        env.push_back("OPENCV_LOG_LEVEL=ERROR");
        for (const std::string& e : extra) env.push_back(e);
        return env;
    }

    // Runs quenrix with `args` in `cwd`; kills it (its whole process group) when it is
    // still running after `timeout`, or kGrace after `until` first returned true.
    RunResult run(const std::vector<std::string>& args, const std::string& cwd,
                  std::chrono::milliseconds timeout = kRunTimeout,
                  const std::vector<std::string>& extraEnv = {},
                  const std::function<bool()>& until = {}) const {
        const std::string outPath = home() + "/run.out";
        const std::string errPath = home() + "/run.err";
        std::vector<std::string> argStore{QUENRIX_BINARY};
        argStore.insert(argStore.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : argStore) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> envStore = environment(extraEnv);
        std::vector<char*> envp;
        for (std::string& e : envStore) envp.push_back(e.data());
        envp.push_back(nullptr);

        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            const int in = ::open("/dev/null", O_RDONLY);
            const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (in < 0 || out < 0 || err < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(126);
            ::dup2(in, 0);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::execve(argv[0], argv.data(), envp.data());
            ::_exit(127);
        }
        RunResult result;
        if (pid < 0) return result;
        ::setpgid(pid, pid);
        auto deadline = std::chrono::steady_clock::now() + timeout;
        bool reached = false;
        int wstatus = 0;
        while (true) {
            const pid_t done = ::waitpid(pid, &wstatus, WNOHANG);
            if (done == pid) break;
            if (until && !reached && until()) {
                reached = true;
                deadline = std::min(deadline, std::chrono::steady_clock::now() + kGrace);
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                result.timedOut = true;
                ::kill(-pid, SIGKILL);
                ::waitpid(pid, &wstatus, 0);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        if (!result.timedOut && WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
        result.out = readFile(outPath);
        result.err = readFile(errPath);
        return result;
    }

private:
    TempDir m_home;
};

// What a run printed, for failure messages.
std::string describe(const RunResult& r) {
    return "status " + std::to_string(r.status) + (r.timedOut ? " (killed at the time-out)" : "") +
           "\nstdout:\n" + r.out + "\nstderr:\n" + r.err;
}

// Saves a document over `targets` with one duplicate rule (by content), subfolders
// included.
void writeDuplicateDocument(const std::string& path, const std::vector<std::string>& targets,
                            int32_t ruleTarget = QXCheckDuplicateRule::kDuplicates) {
    CQuenrixDoc doc;
    for (const std::string& folder : targets) {
        QXTargetPtr target = QXTarget::fromPath(folder);
        ASSERT_TRUE(target) << folder;
        doc.targets.push_back(target);
    }
    doc.includeSubfolders = true;
    auto rule = std::make_shared<QXCheckDuplicateRule>();
    rule->setAlgorithm(QXCheckDuplicateRule::kExact);
    rule->setTarget(ruleTarget);
    doc.rules.push_back(rule);
    ASSERT_TRUE(doc.onSaveDocument(path)) << path;
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

bool haveTrashList() {
    return std::system("command -v trash-list > /dev/null 2>&1") == 0;
}

// A tree with one duplicate group of three (the newest in "b") and one single file;
// folders "a" and "c" hold nothing else, so they are empty once their copies are gone.
class UnattendedRunTest : public testing::Test {
protected:
    UnattendedRunTest() {
        const int64_t now = static_cast<int64_t>(::time(nullptr));
        older = tree.createFile("a/photo.jpg", "same bytes", now - 3000);
        newest = tree.createFile("b/photo copy.jpg", "same bytes", now - 1000);
        middle = tree.createFile("c/photo (2).jpg", "same bytes", now - 2000);
        single = tree.createFile("notes.txt", "other bytes", now - 500);
        document = jobs / "job.qnrx";
        log = jobs / "job.log";
    }

    Sandbox sandbox;
    TempDir tree;
    TempDir jobs;
    std::string older, newest, middle, single;
    std::string document, log;
};

TEST_F(UnattendedRunTest, DeleteRemovesTheTickedCopiesAndKeepsTheNewest) {
    writeDuplicateDocument(document, {tree.path()});
    const RunResult r = sandbox.run({"/AutoRun", "/D0", "job.qnrx"}, jobs.path());
    ASSERT_EQ(r.status, 0) << describe(r);

    EXPECT_FALSE(pathExists(older));
    EXPECT_FALSE(pathExists(middle));
    EXPECT_TRUE(pathExists(newest));
    EXPECT_TRUE(pathExists(single));
    // Without /R the folders stay, emptied.
    EXPECT_TRUE(pathExists(tree / "a"));

    // From the moment the document is open the run logs into the document's own log
    // file, to its last line; the start-up lines are in the user's log.
    const std::string text = readFile(log);
    EXPECT_NE(text.find("検索処理を開始します"), std::string::npos) << text;
    EXPECT_NE(text.find("終了します"), std::string::npos) << text;
    const std::string start = readFile(sandbox.userLog());
    EXPECT_NE(start.find("AutoRun enabled."), std::string::npos) << start;
    EXPECT_EQ(start.find("検索処理を開始します"), std::string::npos) << start;
    EXPECT_EQ(countOf(text, "を削除しました"), 2u) << text;
    // A first run without a display takes the configuration folder without asking.
    EXPECT_TRUE(pathExists(sandbox.configHome() + "/Talvor/Quenrix/Quenrix.ini"));
}

TEST_F(UnattendedRunTest, RecycleMovesTheCopiesToTheTrash) {
    writeDuplicateDocument(document, {tree.path()});
    const RunResult r = sandbox.run({"/AutoRun", "/D1", document}, jobs.path());
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_FALSE(pathExists(older));
    EXPECT_FALSE(pathExists(middle));
    EXPECT_TRUE(pathExists(newest));
    EXPECT_TRUE(pathExists(single));

    if (!haveTrashList()) GTEST_SKIP() << "trash-list is not installed";
    const std::string listing = sandbox.home() + "/trash.txt";
    const std::string command = "env HOME='" + sandbox.home() + "' XDG_DATA_HOME='" +
                                sandbox.dataHome() + "' trash-list > '" + listing + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(listing);
    const std::string trashed = readFile(listing);
    EXPECT_NE(trashed.find(older), std::string::npos) << trashed;
    EXPECT_NE(trashed.find(middle), std::string::npos) << trashed;
    EXPECT_EQ(trashed.find(newest), std::string::npos) << trashed;
}

TEST_F(UnattendedRunTest, RemoveEmptyFoldersAfterTheAction) {
    writeDuplicateDocument(document, {tree.path()});
    // The document is named by its absolute path, which starts with "/" like the flags.
    const RunResult r = sandbox.run({"/AutoRun", "/D1", "/R", document}, sandbox.home());
    ASSERT_EQ(r.status, 0) << describe(r);
    EXPECT_FALSE(pathExists(tree / "a"));
    EXPECT_FALSE(pathExists(tree / "c"));
    EXPECT_TRUE(pathExists(newest));
    EXPECT_TRUE(pathExists(single));
    const std::string text = readFile(log);
    EXPECT_NE(text.find("空フォルダを全て削除しました。"), std::string::npos) << text;
    EXPECT_NE(text.find("終了します"), std::string::npos) << text;
}

TEST_F(UnattendedRunTest, FileThatCannotBeDeletedFailsTheRun) {
    writeDuplicateDocument(document, {tree.path()});
    // A read-only file is refused by the delete, for any user.
    ASSERT_EQ(::chmod(older.c_str(), 0444), 0);
    const RunResult r = sandbox.run({"/AutoRun", "/D0", "/R", "job.qnrx"}, jobs.path());
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_TRUE(pathExists(older));
    EXPECT_FALSE(pathExists(middle));
    EXPECT_TRUE(pathExists(newest));
    // The other steps still ran: the emptied folder went, the one still holding a file
    // stayed; and the run closed itself.
    EXPECT_FALSE(pathExists(tree / "c"));
    EXPECT_TRUE(pathExists(tree / "a"));
    const std::string text = readFile(log);
    EXPECT_NE(text.find("を削除することが出来ませんでした"), std::string::npos) << text;
    EXPECT_NE(text.find("エラーが発生しました"), std::string::npos) << text;
    EXPECT_NE(text.find("終了します"), std::string::npos) << text;
}

TEST_F(UnattendedRunTest, MissingTargetStopsTheRunBeforeAnyAction) {
    // Files with no copy in the backup folder match: with the backup folder gone, every
    // file would be a "non-duplicate".
    const std::string backup = tree.createDir("backup");
    tree.createFile("backup/photo.jpg", "same bytes");
    writeDuplicateDocument(document, {tree / "a", backup}, QXCheckDuplicateRule::kUnique);
    ASSERT_EQ(std::system(("rm -rf '" + backup + "'").c_str()), 0);

    const RunResult r = sandbox.run({"/AutoRun", "/D0", "/R", "job.qnrx"}, jobs.path());
    EXPECT_EQ(r.status, 1) << describe(r);
    EXPECT_TRUE(pathExists(older));
    EXPECT_TRUE(pathExists(tree / "a"));
    const std::string text = readFile(log);
    EXPECT_NE(text.find(backup), std::string::npos) << text;
    EXPECT_EQ(text.find("処理を開始します"), std::string::npos) << text;
    EXPECT_NE(text.find("終了します"), std::string::npos) << text;
}

TEST_F(UnattendedRunTest, RunsThatAreNotUnattendedChangeNothing) {
    writeDuplicateDocument(document, {tree.path()});
    sandbox.createSettings();
    // Each would open a window: they run on the offscreen platform and are killed after
    // a few seconds, still waiting for the user.
    const struct {
        const char* name;
        std::vector<std::string> args;
    } cases[] = {
        {"delete mode without /AutoRun", {"/D1", "/R", "job.qnrx"}},
        {"lower-case /autorun", {"/autorun", "/D0", "job.qnrx"}},
        {"lower-case -autorun", {"-autorun", "-D0", "job.qnrx"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(sandbox.userLog().c_str());
        // The switch lines are written just before the window is made.
        const RunResult r =
            sandbox.run(c.args, jobs.path(), kWindowedRun, {"QT_QPA_PLATFORM=offscreen"}, [&] {
                return readFile(sandbox.userLog()).find("AutoDel enabled.") != std::string::npos;
            });
        EXPECT_TRUE(r.timedOut) << describe(r);
        EXPECT_TRUE(pathExists(older));
        EXPECT_TRUE(pathExists(middle));
        EXPECT_TRUE(pathExists(newest));
        EXPECT_TRUE(pathExists(tree / "a"));
        EXPECT_FALSE(pathExists(log));
    }
}

TEST_F(UnattendedRunTest, WithoutADisplayOnlyTheUnattendedRunStarts) {
    writeDuplicateDocument(document, {tree.path()});
    const RunResult r = sandbox.run({"/autorun", "/D0", "job.qnrx"}, jobs.path(), 20s);
    EXPECT_EQ(r.status, 2) << describe(r);
    EXPECT_NE(r.err.find("/AutoRun"), std::string::npos) << describe(r);
    EXPECT_TRUE(pathExists(older));
}

TEST_F(UnattendedRunTest, TwoFoldersBecomeTwoTargets) {
    // A window run: the folders become targets of the new document.
    sandbox.createSettings();
    const RunResult r = sandbox.run(
        {tree / "a", tree / "c"}, jobs.path(), kWindowedRun, {"QT_QPA_PLATFORM=offscreen"},
        [&] { return countOf(readFile(sandbox.userLog()), "Add Target.") >= 2; });
    EXPECT_TRUE(r.timedOut) << describe(r);
    const std::string text = readFile(sandbox.userLog());
    EXPECT_EQ(countOf(text, "Add Target."), 2u) << text;
    EXPECT_EQ(text.find("設定ファイルを開けませんでした"), std::string::npos) << text;

    // In the unattended run folders are not added: the new document has no target, the
    // search is refused, and the run fails without touching anything.
    const RunResult unattended =
        sandbox.run({"/AutoRun", "/D0", tree / "a", tree / "c"}, jobs.path());
    EXPECT_EQ(unattended.status, 1) << describe(unattended);
    EXPECT_TRUE(pathExists(older));
    EXPECT_TRUE(pathExists(middle));
    const std::string after = readFile(sandbox.userLog());
    EXPECT_NE(after.find("有効な対象がありません"), std::string::npos) << after;
    EXPECT_NE(after.find("終了します"), std::string::npos) << after;
}

TEST_F(UnattendedRunTest, MissingDocumentEndsWithStatusTwo) {
    const RunResult r = sandbox.run({"/AutoRun", "/D0", "gone.qnrx"}, jobs.path());
    EXPECT_EQ(r.status, 2) << describe(r);
    EXPECT_NE(r.err.find("gone.qnrx"), std::string::npos) << describe(r);
}

}  // namespace
}  // namespace quenrix
