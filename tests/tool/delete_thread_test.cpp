// The action workers of modes 1 to 11 on small trees: what is left on disk, the dialog's
// lines and progress, the log, the done bits and the error flag; the checks that leave a
// changed file or the last copy of a group alone; cancel part-way.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXLog.h"
#include "core/QXTarget.h"
#include "platform/Trash.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tool/QXActionModes.h"
#include "tool/QXDeleteRun.h"
#include "tool/QXDeleteThreadInterface.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

using test::pathExists;
using test::readFile;
using test::TempDir;

QXFileInfoPtr record(const std::string& path, bool ticked, int32_t targetIndex = 0) {
    QXFileInfoPtr file = QXFileInfo::fromPath(path);
    if (!file) ADD_FAILURE() << "no record for " << path;
    if (ticked) file->addFlags(QXFileInfo::kCheck);
    file->targetIndex = targetIndex;
    return file;
}

std::wstring wide(const std::string& s) {
    return tovy::fromUtf8(s);
}

bool contains(const std::vector<std::wstring>& lines, const std::wstring& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::wstring& l) { return l.find(text) != std::wstring::npos; });
}

// One run of a worker over `records`, on its own thread, with the log's lines of the run.
struct ActionRun {
    test::RecordingSink sink;
    std::vector<std::wstring> log;
    std::unique_ptr<QXDeleteThreadInterface> worker;

    void go(int32_t mode, const QXFileList& records, const std::string& destination = {},
            std::vector<QXTargetPtr> targets = {}, bool autoDel = false) {
        QXLog::clearQueue();
        worker = createDeleteThread(mode, sink, autoDel, destination, std::move(targets));
        ASSERT_TRUE(worker);
        worker->setRecords(records);
        ASSERT_TRUE(worker->start());
        worker->wait();
        log = QXLog::takeQueued();
    }
    std::vector<int> progress() const {
        std::vector<int> out;
        for (const auto& bar : sink.overall) out.push_back(bar.percent);
        return out;
    }
};

// Every mode on one tree: a.txt and sub/c.txt ticked, b.txt not. The removing modes take
// the ticked files away; the copies leave them; moves and copies put them in the
// destination, flat or below the target's place.
struct ModeCase {
    int32_t mode;
    bool sourcesStay;
    const char* placedA;  // in the destination, or null
    const char* placedC;
};

class EveryMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(EveryMode, ActsOnTheTickedFilesOnly) {
    const ModeCase& c = GetParam();
    TempDir dir;
    const std::string root = dir.createDir("tree");
    const std::string dest = dir.createDir("dest");
    const std::string a = dir.createFile("tree/a.txt", "alpha");
    const std::string b = dir.createFile("tree/b.txt", "beta");
    const std::string cFile = dir.createFile("tree/sub/c.txt", std::string(5000, 'c'));
    const QXFileList records = {record(a, true), record(b, false), record(cFile, true)};
    auto target = std::make_shared<QXTarget>();
    target->path = root;

    ActionRun run;
    run.go(c.mode, records, dest, {target});

    EXPECT_FALSE(run.worker->error()) << "mode " << c.mode;
    EXPECT_EQ(pathExists(a), c.sourcesStay);
    EXPECT_EQ(pathExists(cFile), c.sourcesStay);
    EXPECT_EQ(readFile(b), "beta");
    if (c.placedA) {
        EXPECT_EQ(readFile(dest + "/" + c.placedA), "alpha") << c.placedA;
    }
    if (c.placedC) {
        EXPECT_EQ(readFile(dest + "/" + c.placedC), std::string(5000, 'c'));
    }
    EXPECT_TRUE(records[0]->hasFlag(QXFileInfo::kDone));
    EXPECT_FALSE(records[1]->hasFlag(QXFileInfo::kDone));
    EXPECT_TRUE(records[2]->hasFlag(QXFileInfo::kDone));

    const std::vector<std::wstring> expectedLines = {
        L"処理を開始します...", wide(a) + L" を削除しました", wide(cFile) + L" を削除しました",
        L"処理を終了します"};
    EXPECT_EQ(run.sink.lines, expectedLines);
    EXPECT_EQ(run.progress(), (std::vector<int>{0, 50, 100}));
    EXPECT_EQ(run.sink.finishedCount, 1);
    EXPECT_TRUE(contains(run.log, L"削除を開始します"));
    EXPECT_TRUE(contains(run.log, wide(a) + L" を削除しました"));
    EXPECT_TRUE(contains(run.log, L"処理を終了します"));
}

INSTANTIATE_TEST_SUITE_P(Modes, EveryMode,
                         ::testing::Values(ModeCase{kModeDelete, false, nullptr, nullptr},
                                           ModeCase{kModeRecycle, false, nullptr, nullptr},
                                           ModeCase{kModeFill00, false, nullptr, nullptr},
                                           ModeCase{kModeFillFF, false, nullptr, nullptr},
                                           ModeCase{kModeFillRandom, false, nullptr, nullptr},
                                           ModeCase{kModeDoDShort, false, nullptr, nullptr},
                                           ModeCase{kModeDoD, false, nullptr, nullptr},
                                           ModeCase{kModeCopy, true, "a.txt", "c.txt"},
                                           ModeCase{kModeMove, false, "a.txt", "c.txt"},
                                           ModeCase{kModeCopyKeepTree, true, "a.txt", "sub/c.txt"},
                                           ModeCase{kModeMoveKeepTree, false, "a.txt",
                                                    "sub/c.txt"}),
                         [](const auto& info) { return "mode" + std::to_string(info.param.mode); });

TEST(DeleteThread, TrashedFileCanBeRestoredFromTheHomeTrash) {
    TempDir dir;
    // A name no other test trashes, so the trash holds it under this name.
    const std::string a = dir.createFile("restorable file.txt", "alpha");
    ActionRun run;
    run.go(kModeRecycle, {record(a, true)});
    EXPECT_FALSE(pathExists(a));
    const std::string trash = platform::homeTrashFolder();
    const std::string info = readFile(trash + "/info/restorable file.txt.trashinfo");
    EXPECT_NE(info.find("Path=" + platform::encodeTrashPath(a)), std::string::npos) << info;
    EXPECT_EQ(readFile(trash + "/files/restorable file.txt"), "alpha");
}

TEST(DeleteThread, NoTickedFileShowsOnlyTheStartAndEnd) {
    TempDir dir;
    const std::string a = dir.createFile("a.txt", "alpha");
    ActionRun run;
    run.go(kModeDelete, {record(a, false)});
    EXPECT_EQ(run.sink.lines,
              (std::vector<std::wstring>{L"処理を開始します...", L"処理を終了します"}));
    EXPECT_EQ(run.progress(), std::vector<int>{0});
    EXPECT_TRUE(pathExists(a));
}

TEST(DeleteThread, AutoDelKeepsTheFileLinesInTheLogOnly) {
    TempDir dir;
    const std::string a = dir.createFile("a.txt", "alpha");
    ActionRun run;
    run.go(kModeDelete, {record(a, true)}, {}, {}, true);
    EXPECT_EQ(run.sink.lines,
              (std::vector<std::wstring>{L"処理を開始します...", L"処理を終了します"}));
    EXPECT_TRUE(contains(run.log, wide(a) + L" を削除しました"));
    EXPECT_FALSE(pathExists(a));
}

TEST(DeleteThread, ReadOnlyFileFailsDeleteWithAnErrorLine) {
    TempDir dir;
    const std::string locked = dir.createFile("locked.txt", "keep");
    const std::string other = dir.createFile("other.txt", "go");
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    const QXFileList records = {record(locked, true), record(other, true)};
    ActionRun run;
    run.go(kModeDelete, records);

    EXPECT_EQ(readFile(locked), "keep");
    EXPECT_FALSE(pathExists(other));
    EXPECT_TRUE(run.worker->error());
    EXPECT_TRUE(records[0]->hasFlag(QXFileInfo::kCheck));
    EXPECT_FALSE(records[0]->hasFlag(QXFileInfo::kDone));
    EXPECT_TRUE(contains(run.sink.lines, wide(locked) + L" を削除することが出来ませんでした"));
    EXPECT_TRUE(contains(run.log, L"(tool\\QXToolDeleteThread,"));
}

// A file replaced, rewritten or removed after the search is not the file the user ticked:
// every mode leaves it alone, names it in the log, and raises no error of its own.
class ChangedFile : public ::testing::TestWithParam<int32_t> {};

TEST_P(ChangedFile, IsLeftAloneAndStaysTicked) {
    const int32_t mode = GetParam();
    TempDir dir;
    const std::string dest = dir.createDir("dest");
    const std::string a = dir.createFile("a.txt", "found");
    const QXFileList records = {record(a, true)};
    dir.createFile("a.txt", "rewritten since");  // another size
    ActionRun run;
    run.go(mode, records, dest);

    EXPECT_EQ(readFile(a), "rewritten since");
    EXPECT_FALSE(pathExists(dest + "/a.txt"));
    EXPECT_TRUE(records[0]->hasFlag(QXFileInfo::kCheck));
    EXPECT_FALSE(records[0]->hasFlag(QXFileInfo::kDone));
    EXPECT_TRUE(contains(run.log, L"changed since the search"));
    EXPECT_TRUE(contains(run.log, wide(a)));
    EXPECT_TRUE(contains(run.sink.lines, wide(a) + L" を削除することが出来ませんでした"));
}

INSTANTIATE_TEST_SUITE_P(Modes, ChangedFile,
                         ::testing::Values(kModeDelete, kModeRecycle, kModeFill00, kModeCopy,
                                           kModeMove),
                         [](const auto& info) { return "mode" + std::to_string(info.param); });

// A duplicate group a (ticked) and b (unticked, the copy the user keeps).
struct GroupCase {
    const char* name;
    int32_t mode;
    bool removeKept;  // b is gone before the run
    bool tickKept;    // b is ticked too: the user wants the whole group gone
    bool aTouched;
};

class GroupCheck : public ::testing::TestWithParam<GroupCase> {};

TEST_P(GroupCheck, TickedMemberNeedsAnUnchangedUntickedOne) {
    const GroupCase& c = GetParam();
    TempDir dir;
    const std::string dest = dir.createDir("dest");
    const std::string a = dir.createFile("a.txt", "same");
    const std::string b = dir.createFile("b.txt", "same");
    const std::string lone = dir.createFile("lone.txt", "x");  // in another group of its own
    QXFileList records = {record(a, true), record(b, c.tickKept), record(lone, true)};
    for (int i = 0; i < 2; ++i) {
        records[size_t(i)]->addFlags(QXFileInfo::kInGroup);
        records[size_t(i)]->groupNumber = 3;
    }
    records[2]->addFlags(QXFileInfo::kInGroup);
    records[2]->groupNumber = 4;
    if (c.removeKept) {
        ASSERT_EQ(::unlink(b.c_str()), 0);
    }

    ActionRun run;
    run.go(c.mode, records, dest);

    EXPECT_EQ(records[0]->hasFlag(QXFileInfo::kDone), c.aTouched);
    EXPECT_EQ(pathExists(a), !c.aTouched || c.mode == kModeCopy);
    EXPECT_TRUE(records[0]->hasFlag(QXFileInfo::kCheck));
    EXPECT_EQ(contains(run.log, L"No unticked file of its group"), !c.aTouched);
    EXPECT_TRUE(records[2]->hasFlag(QXFileInfo::kDone));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GroupCheck,
    ::testing::Values(GroupCase{"KeptCopyThere", kModeDelete, false, false, true},
                      GroupCase{"KeptCopyGone", kModeDelete, true, false, false},
                      GroupCase{"KeptCopyGoneTrash", kModeRecycle, true, false, false},
                      GroupCase{"KeptCopyGoneMove", kModeMove, true, false, false},
                      GroupCase{"WholeGroupTicked", kModeDelete, false, true, true},
                      GroupCase{"CopyRemovesNothing", kModeCopy, true, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeleteThread, KeptCopyRewrittenCountsAsGone) {
    TempDir dir;
    const std::string a = dir.createFile("a.txt", "same");
    const std::string b = dir.createFile("b.txt", "same");
    QXFileList records = {record(a, true), record(b, false)};
    for (auto& r : records) {
        r->addFlags(QXFileInfo::kInGroup);
        r->groupNumber = 0;  // the first group has number 0
    }
    dir.createFile("b.txt", "different now");
    ActionRun run;
    run.go(kModeDelete, records);
    EXPECT_EQ(readFile(a), "same");
    EXPECT_FALSE(records[0]->hasFlag(QXFileInfo::kDone));
}

TEST(DeleteThread, CancelStopsAfterTheFileInProgress) {
    TempDir dir;
    QXFileList records;
    for (int i = 0; i < 5; ++i) {
        records.push_back(record(dir.createFile("f" + std::to_string(i), "x"), true));
    }
    // The sink cancels when the first file's line arrives, as the user would while the
    // dialog shows it.
    struct CancellingSink : test::RecordingSink {
        QXDeleteThreadInterface* worker = nullptr;
        void appendLine(const std::wstring& t) override {
            RecordingSink::appendLine(t);
            if (t.find(L" を削除しました") != std::wstring::npos) worker->cancel();
        }
    } sink;
    auto worker = createDeleteThread(kModeDelete, sink, false, {}, {});
    sink.worker = worker.get();
    worker->setRecords(records);
    QXLog::clearQueue();
    ASSERT_TRUE(worker->start());
    worker->wait();
    const auto log = QXLog::takeQueued();

    EXPECT_TRUE(records[0]->hasFlag(QXFileInfo::kDone));
    EXPECT_FALSE(pathExists(records[0]->nativePath()));
    for (size_t i = 1; i < records.size(); ++i) {
        EXPECT_TRUE(pathExists(records[i]->nativePath())) << i;
        EXPECT_TRUE(records[i]->hasFlag(QXFileInfo::kCheck)) << i;
        EXPECT_FALSE(records[i]->hasFlag(QXFileInfo::kDone)) << i;
    }
    ASSERT_GE(sink.lines.size(), 3u);
    EXPECT_EQ(sink.lines[sink.lines.size() - 2], L"処理を中断しました");
    EXPECT_EQ(sink.lines.back(), L"処理を終了します");
    EXPECT_TRUE(contains(log, L"処理を中断しました"));
    EXPECT_EQ(sink.finishedCount, 1);
}

TEST(DeleteThread, FlatCopyNeverReplacesAndNumbersTheName) {
    TempDir dir;
    const std::string dest = dir.createDir("dest");
    dir.createFile("dest/a.txt", "old");
    dir.createFile("dest/a(1).txt", "older");
    dir.createFile("dest/README", "taken");
    const std::string a = dir.createFile("src/a.txt", "new");
    const std::string readme = dir.createFile("src/README", "readme");
    ActionRun run;
    run.go(kModeCopy, {record(a, true), record(readme, true)}, dest + "/");
    EXPECT_EQ(readFile(dest + "/a.txt"), "old");
    EXPECT_EQ(readFile(dest + "/a(1).txt"), "older");
    EXPECT_EQ(readFile(dest + "/a(2).txt"), "new");
    EXPECT_EQ(readFile(dest + "/README(1)"), "readme");
    EXPECT_EQ(readFile(dest + "/README"), "taken");
}

TEST(DeleteThread, KeepTreeFailsARecordBelowNoTarget) {
    TempDir dir;
    const std::string dest = dir.createDir("dest");
    const std::string data = dir.createDir("data");
    const std::string inside = dir.createFile("data/2019/a.jpg", "a");
    const std::string beside = dir.createFile("databackup/x", "x");  // /data is no prefix of it
    const std::string imported = dir.createFile("elsewhere/y", "y");
    auto target = std::make_shared<QXTarget>();
    target->path = data;
    const QXFileList records = {record(inside, true), record(beside, true),
                                record(imported, true, 7)};
    ActionRun run;
    run.go(kModeMoveKeepTree, records, dest, {target});

    EXPECT_EQ(readFile(dest + "/2019/a.jpg"), "a");
    EXPECT_EQ(readFile(beside), "x");
    EXPECT_EQ(readFile(imported), "y");
    EXPECT_FALSE(records[1]->hasFlag(QXFileInfo::kDone));
    EXPECT_FALSE(records[2]->hasFlag(QXFileInfo::kDone));
    EXPECT_TRUE(run.worker->error());
    EXPECT_TRUE(contains(run.log, L"below none of the search targets: " + wide(beside)));
    EXPECT_TRUE(contains(run.log, L"below none of the search targets: " + wide(imported)));
    EXPECT_FALSE(pathExists(dest + "/x"));
}

TEST(DeleteThread, KeepTreeFolderThatCannotBeMadeIsAnError) {
    TempDir dir;
    const std::string dest = dir.createDir("dest");
    dir.createFile("dest/2019", "a file where the folder should go");
    const std::string root = dir.createDir("photos");
    const std::string a = dir.createFile("photos/2019/a.jpg", "a");
    auto target = std::make_shared<QXTarget>();
    target->path = root;
    ActionRun run;
    run.go(kModeCopyKeepTree, {record(a, true)}, dest, {target});
    EXPECT_TRUE(run.worker->error());
    EXPECT_TRUE(contains(run.log, L"Could not create the folder: " + wide(dest + "/2019")));
    EXPECT_EQ(readFile(dest + "/2019"), "a file where the folder should go");
}

TEST(ActionModes, TableHasTwelveModesInSelectorOrder) {
    EXPECT_EQ(actionMode(0), nullptr);
    EXPECT_EQ(actionMode(13), nullptr);
    for (int32_t m = 1; m <= kActionModeCount; ++m) {
        ASSERT_NE(actionMode(m), nullptr);
        EXPECT_EQ(actionMode(m)->mode, m);
        EXPECT_EQ(actionMode(m)->question != nullptr, m <= kModeDoD) << m;
    }
    EXPECT_STREQ(actionMode(kModeRecycle)->label, L"ゴミ箱へ削除");
    EXPECT_STREQ(actionMode(kModeRecycle)->dialogText, L"[ ごみ箱へ削除 ]");
    EXPECT_STREQ(actionMode(kModeMoveKeepTree)->label, L"移動先...（階層構造を維持）");
}

}  // namespace
}  // namespace quenrix
