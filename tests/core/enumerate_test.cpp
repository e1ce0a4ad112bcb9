// The enumeration of a search: which entries become records, which folders are entered,
// and what the log says about it.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "core/QXHandleThread.h"
#include "core/QXLog.h"
#include "support/LogCapture.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

using test::RecordingSink;
using test::ScriptedPrompt;
using test::TempDir;

using test::LogCapture;

struct Options {
    bool subfolders = true;
    bool hidden = false;
    bool system = false;
    std::vector<std::wstring> ignore;
};

class EnumerateTest : public testing::Test {
protected:
    // Runs the enumeration over the targets; returns the record paths relative to the
    // temporary folder, sorted.
    std::vector<std::string> enumerate(const std::vector<std::string>& targets,
                                       const Options& o = {}, bool* ok = nullptr,
                                       const std::vector<std::string>& protectedDirs = {}) {
        QXSearchParams params;
        for (const auto& t : targets) {
            auto target = QXTarget::fromPath(t);
            EXPECT_TRUE(target) << t;
            if (target) params.targets.push_back(target);
        }
        params.includeSubfolders = o.subfolders;
        params.includeHidden = o.hidden;
        params.includeSystem = o.system;
        params.ignoreList = o.ignore;
        QXHandleThread worker(std::move(params), sink, &prompt);
        worker.setProtectedFolders(platform::ProtectedFolders::of(protectedDirs));
        bool built = worker.buildFileList();
        if (ok) *ok = built;
        std::vector<std::string> paths;
        for (const auto& f : worker.fileList()) {
            EXPECT_EQ(f->flags(), QXFileInfo::kMatched);
            paths.push_back(f->nativePath().substr(dir.path().size()));
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    TempDir dir;
    RecordingSink sink;
    ScriptedPrompt prompt;
};

using Paths = std::vector<std::string>;

// Runs `check` as an ordinary user: directly, or when the tests run as root (who reads
// every folder) in a child process that has given up root. Returns check's result.
template <class Check>
int asUnprivilegedUser(const TempDir& dir, Check check) {
    if (geteuid() != 0) return check();
    if (chmod(dir.path().c_str(), 0777) != 0) return 30;
    pid_t pid = fork();
    if (pid < 0) return 31;
    if (pid == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) _exit(20);
        _exit(check());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 32;
}

TEST_F(EnumerateTest, WalksSubfoldersDepthFirstWithOptions) {
    dir.createFile("t/a.txt", "1");
    dir.createFile("t/sub/b.txt", "22");
    dir.createFile("t/sub/deeper/c.txt");
    EXPECT_EQ(enumerate({dir / "t"}), (Paths{"/t/a.txt", "/t/sub/b.txt", "/t/sub/deeper/c.txt"}));
    EXPECT_EQ(enumerate({dir / "t"}, {.subfolders = false}), (Paths{"/t/a.txt"}));
}

TEST_F(EnumerateTest, RecordCarriesItsStatAndTargetIndex) {
    std::string file = dir.createFile("t/a.txt", "12345", 1600000000);
    dir.createFile("u/b.txt");
    QXSearchParams params;
    params.targets = {QXTarget::fromPath(dir / "t"), QXTarget::fromPath(dir / "u")};
    QXHandleThread worker(std::move(params), sink, nullptr);
    worker.setProtectedFolders({});
    ASSERT_TRUE(worker.buildFileList());
    ASSERT_EQ(worker.fileList().size(), 2u);
    const QXFileInfo& a = *worker.fileList()[0];
    EXPECT_EQ(a.nativePath(), file);
    EXPECT_EQ(a.fileName(), L"a.txt");
    EXPECT_EQ(a.size(), 5u);
    EXPECT_EQ(a.stat().writeNs, 1600000000LL * 1000000000LL);
    EXPECT_EQ(a.targetIndex, 0);
    EXPECT_EQ(worker.fileList()[1]->targetIndex, 1);
}

TEST_F(EnumerateTest, HiddenAndSystemEntriesFollowTheOptions) {
    dir.createFile("t/.hidden.txt");
    dir.createFile("t/sub/.h2");
    dir.createFile("t/.git/config");
    dir.createFile("t/sub/.cache/data.bin");
    dir.createFile("t/plain.txt");
    ASSERT_EQ(mkfifo((dir / "t/sub/pipe").c_str(), 0600), 0);
    EXPECT_EQ(enumerate({dir / "t"}), (Paths{"/t/plain.txt"}));
    EXPECT_EQ(enumerate({dir / "t"}, {.hidden = true}),
              (Paths{"/t/.git/config", "/t/.hidden.txt", "/t/plain.txt", "/t/sub/.cache/data.bin",
                     "/t/sub/.h2"}));
    EXPECT_EQ(enumerate({dir / "t"}, {.system = true}), (Paths{"/t/plain.txt", "/t/sub/pipe"}));
}

TEST_F(EnumerateTest, SymbolicLinksAreNeverFollowedNorRecorded) {
    dir.createFile("t/real/a.txt");
    dir.createFile("elsewhere/secret.txt");
    ASSERT_EQ(symlink((dir / "t/real").c_str(), (dir / "t/linkdir").c_str()), 0);
    ASSERT_EQ(symlink((dir / "t/real/a.txt").c_str(), (dir / "t/linkfile").c_str()), 0);
    ASSERT_EQ(symlink((dir / "elsewhere").c_str(), (dir / "t/real/out").c_str()), 0);
    EXPECT_EQ(enumerate({dir / "t"}, {.hidden = true, .system = true}), (Paths{"/t/real/a.txt"}));
}

TEST_F(EnumerateTest, RepeatedAndOverlappingTargetsNeverYieldTwoRecords) {
    dir.createFile("t/a.txt");
    dir.createFile("t/sub/b.txt");
    const Paths once = {"/t/a.txt", "/t/sub/b.txt"};
    EXPECT_EQ(enumerate({dir / "t", dir / "t"}), once);
    EXPECT_EQ(enumerate({dir / "t", dir / "t/sub"}), once);
    EXPECT_EQ(enumerate({dir / "t/sub", dir / "t"}), once);
    EXPECT_EQ(enumerate({dir / "t/", dir / "t/sub/../"}), once);
    // A linked target names the same folder.
    ASSERT_EQ(symlink((dir / "t").c_str(), (dir / "alias").c_str()), 0);
    bool ok = false;
    EXPECT_EQ(enumerate({dir / "t", dir / "alias"}, {}, &ok), once);
    EXPECT_TRUE(ok);
    EXPECT_EQ(enumerate({dir / "alias"}, {}, &ok), (Paths{"/alias/a.txt", "/alias/sub/b.txt"}));
    EXPECT_TRUE(ok);
}

TEST_F(EnumerateTest, IgnoreListAppliesToTheTargetsDirectSubfoldersOnly) {
    dir.createFile("t/Skip/a.txt");
    dir.createFile("t/keep/skip/b.txt");
    dir.createFile("t/keep/c.txt");
    dir.createFile("t/Skip2/d.txt");
    // Patterns match the lower-cased full path without regard to case.
    Options o{.ignore = {L"*/SKIP*"}};
    EXPECT_EQ(enumerate({dir / "t"}, o), (Paths{"/t/keep/c.txt", "/t/keep/skip/b.txt"}));
    Options alternatives{.ignore = {L"*/nothing; *skip2"}};
    EXPECT_EQ(enumerate({dir / "t"}, alternatives),
              (Paths{"/t/Skip/a.txt", "/t/keep/c.txt", "/t/keep/skip/b.txt"}));
}

TEST_F(EnumerateTest, ProtectedFoldersAreNotEnteredButAProtectedTargetIsSearched) {
    dir.createFile("t/a.txt");
    dir.createFile("t/sys/inside.txt");
    dir.createFile("t/deep/sys2/x.txt");
    LogCapture log(dir);
    const std::vector<std::string> prot = {dir / "t/sys", dir / "t/deep/sys2/"};
    bool ok = false;
    EXPECT_EQ(enumerate({dir / "t"}, {}, &ok, prot), (Paths{"/t/a.txt"}));
    EXPECT_TRUE(ok);
    auto messages = log.messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Safe."), 2);
    EXPECT_EQ(enumerate({dir / "t/sys"}, {}, &ok, prot), (Paths{"/t/sys/inside.txt"}));
}

TEST_F(EnumerateTest, LogsTheWalkWithIndentedEnumLines) {
    dir.createFile("t/sub/deeper/c.txt");
    LogCapture log(dir);
    enumerate({dir / "t"});
    std::wstring t = tovy::fromUtf8(dir / "t");
    std::vector<std::wstring> expected = {
        L"ファイルリストを構築します...",
        t,
        L"ENUM: '" + t + L"/sub'",
        L"ENUM:   '" + t + L"/sub/deeper'",
        L"ENUM:*  '" + t + L"/sub/deeper'",
        L"ENUM:*'" + t + L"/sub'",
        t,
        L"ファイルリストを作成しました。",
    };
    auto messages = log.messages();
    messages.erase(std::remove(messages.begin(), messages.end(), L""), messages.end());
    EXPECT_EQ(messages, expected);
    EXPECT_EQ(sink.statusLines, (std::vector<std::wstring>{L"ファイルリストを構築しています"}));
    EXPECT_EQ(sink.ruleLines, (std::vector<std::wstring>{t}));
}

TEST_F(EnumerateTest, NameInLegacyEncodingIsFoundAndReachedByItsBytes) {
    const std::string sjis = "\x8E\xCA\x90\x5E.jpg";  // 写真.jpg in Shift_JIS
    std::string file = dir.createFile("t/" + sjis, "data");
    auto paths = enumerate({dir / "t"});
    ASSERT_EQ(paths, (Paths{"/t/" + sjis}));

    QXSearchParams params;
    params.targets = {QXTarget::fromPath(dir / "t")};
    QXHandleThread worker(std::move(params), sink, nullptr);
    worker.setProtectedFolders({});
    ASSERT_TRUE(worker.buildFileList());
    const QXFileInfo& rec = *worker.fileList().at(0);
    std::wstring shown = rec.fileName();
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(tovy::isEscapedByte(shown[0]));  // 0x8E is no UTF-8 lead byte
    EXPECT_TRUE(shown.ends_with(L".jpg"));
    EXPECT_EQ(tovy::toUtf8(rec.fullPath()), file);
    EXPECT_TRUE(QXFileInfo::fromPath(tovy::toUtf8(rec.fullPath())));
}

TEST_F(EnumerateTest, DeniedTargetListingFailsTheWholeBuild) {
    dir.createFile("t/a.txt");
    dir.createFile("denied/b.txt");
    std::string denied = dir / "denied";
    ASSERT_EQ(chmod(denied.c_str(), 0), 0);
    auto attempt = [&]() -> int {
        LogCapture log(dir);
        bool ok = true;
        auto paths = enumerate({dir / "t", denied}, {}, &ok);
        if (ok) return 10;
        if (paths != Paths{"/t/a.txt"}) return 11;
        if (!log.has(L"ファイルの列挙に失敗しました。")) return 12;
        if (!log.has(L"file[tool\\QXToolHandleThread] line[448] HRESULT[80070005]")) return 13;
        return 0;
    };
    EXPECT_EQ(asUnprivilegedUser(dir, attempt), 0);
}

TEST_F(EnumerateTest, UnreadableSubfolderIsSkippedWithItsErrorLine) {
    dir.createFile("t/a.txt");
    dir.createFile("t/closed/b.txt");
    ASSERT_EQ(chmod((dir / "t/closed").c_str(), 0), 0);
    EXPECT_EQ(asUnprivilegedUser(dir,
                                 [&]() -> int {
                                     LogCapture log(dir);
                                     bool ok = false;
                                     if (enumerate({dir / "t"}, {}, &ok) != Paths{"/t/a.txt"})
                                         return 10;
                                     if (!ok) return 11;
                                     if (!log.has(L"Permission denied "
                                                  L"(tool\\QXToolHandleThread,266)"))
                                         return 12;
                                     return 0;
                                 }),
              0);
}

// A worker whose record allocation fails for one name.
class StarvedWorker : public QXHandleThread {
public:
    using QXHandleThread::QXHandleThread;

protected:
    QXFileInfoPtr newRecord(std::string path, const platform::FileStat& st) override {
        if (path.ends_with("/starved.txt")) return nullptr;
        return QXHandleThread::newRecord(std::move(path), st);
    }
};

TEST_F(EnumerateTest, OutOfMemoryForOneRecordSkipsItAndGoesOn) {
    dir.createFile("t/starved.txt");
    dir.createFile("t/sub/starved.txt");
    dir.createFile("t/sub/ok.txt");
    LogCapture log(dir);
    QXSearchParams params;
    params.targets = {QXTarget::fromPath(dir / "t")};
    params.includeSubfolders = true;
    StarvedWorker worker(std::move(params), sink, &prompt);
    worker.setProtectedFolders({});
    ASSERT_TRUE(worker.buildFileList());
    ASSERT_EQ(worker.fileList().size(), 1u);
    EXPECT_EQ(worker.fileList()[0]->fileName(), L"ok.txt");
    auto messages = log.messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         L"QXHandleThread : EnumFiles : Out of memory."),
              2);
    // Only the walk below the target shows the box.
    ASSERT_EQ(prompt.boxes.size(), 1u);
    EXPECT_EQ(prompt.boxes[0].text, L"Quenrix Error : QXHandleThread.EnumFiles(" +
                                        tovy::fromUtf8(dir / "t/sub") + L") : Out of memory.");
}

TEST_F(EnumerateTest, CancelStopsTheBuildAndTheRunLogsIt) {
    for (int i = 0; i < 600; ++i) dir.createFile("t/f" + std::to_string(i));
    dir.createFile("u/x.txt");
    LogCapture log(dir);
    QXSearchParams params;
    params.targets = {QXTarget::fromPath(dir / "t"), QXTarget::fromPath(dir / "u")};
    params.rules = {std::make_shared<test::TestRule>()};
    QXHandleThread worker(std::move(params), sink, nullptr);
    worker.setProtectedFolders({});
    worker.cancel();
    ASSERT_TRUE(worker.start());
    worker.wait();
    EXPECT_TRUE(worker.matchList().empty());
    EXPECT_LT(worker.fileList().size(), 600u);
    auto messages = log.messages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(messages.front(), L"検索を開始します");
    EXPECT_TRUE(log.has(L"中断しました。"));
    EXPECT_FALSE(log.has(L"ルールを適用しました"));
    EXPECT_EQ(messages.back(), L"検索を終了します");
    EXPECT_EQ(sink.finishedCount, 1);
}

}  // namespace
}  // namespace quenrix
