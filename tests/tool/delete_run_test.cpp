// 実行 as the main form starts it: the question of the delete modes, the destination of
// the copy and move modes, mode 12, unknown modes, and the records whose action succeeded
// leaving the result list and the all-files list.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/QXFileInfo.h"
#include "core/QXLog.h"
#include "core/QXSearch.h"
#include "doc/CQuenrixDoc.h"
#include "doc/QXAppSettings.h"
#include "support/Recorders.h"
#include "support/TempDir.h"
#include "tool/QXActionModes.h"
#include "tool/QXDeleteRun.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

using test::pathExists;
using test::readFile;
using test::TempDir;

// The form's side, run without windows: the worker runs to its end at once.
class FakeHost : public QXDeleteRunHost {
public:
    bool chooseDestination(std::string& folder) override {
        ++chooserCalls;
        if (destination.empty()) return false;
        folder = destination;
        return true;
    }
    bool runProgress(QXDeleteThreadInterface& worker, int32_t mode) override {
        shownMode = mode;
        if (!worker.start()) return false;
        worker.wait();
        workerError = worker.error();
        return true;
    }
    bool runEmptyFolders() override {
        ++emptyFolderRuns;
        return emptyFolderResult;
    }
    void resultsChanged() override { ++refreshes; }

    std::string destination;
    int chooserCalls = 0;
    int32_t shownMode = 0;
    bool workerError = false;
    int emptyFolderRuns = 0;
    bool emptyFolderResult = true;
    int refreshes = 0;
};

struct Fixture {
    TempDir dir;
    CQuenrixDoc doc;
    QXSearchState state;
    FakeHost host;
    test::ScriptedPrompt prompt;
    test::RecordingSink sink;
    QXDeleteRun run{doc, state, host, prompt, sink};

    Fixture() {
        QXAppSettings::instance().cmdAutoDel = 0;
        // a and c ticked, b not; the all-files list holds one more record.
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            QXFileInfoPtr file = QXFileInfo::fromPath(dir.createFile(name, name));
            if (std::string(name) != "b.txt") file->addFlags(QXFileInfo::kCheck);
            doc.results.push_back(file);
            state.allFiles.push_back(file);
        }
        state.allFiles.push_back(QXFileInfo::fromPath(dir.createFile("unmatched.txt")));
        QXLog::clearQueue();
    }
    ~Fixture() { QXAppSettings::instance().cmdAutoDel = 0; }

    std::vector<std::string> names(const QXFileList& files) const {
        std::vector<std::string> out;
        for (const auto& f : files) out.emplace_back(f->nativeName());
        return out;
    }
};

// Whether a line of the log holds exactly this message (after its time stamp).
bool logged(const std::vector<std::wstring>& log, const std::wstring& text) {
    return std::any_of(log.begin(), log.end(), [&](const std::wstring& line) {
        return line.size() >= text.size() + 2 &&
               line.compare(line.size() - text.size() - 2, std::wstring::npos, L"> " + text) == 0;
    });
}

TEST(RunDelete, DeleteAsksAndDoneRecordsLeaveBothLists) {
    Fixture f;
    EXPECT_TRUE(f.run.RunDelete(kModeDelete));
    ASSERT_EQ(f.prompt.boxes.size(), 1u);
    EXPECT_EQ(f.prompt.boxes[0].text, L"チェックされたファイルを「削除」してもよろしいですか？");
    EXPECT_EQ(f.prompt.boxes[0].caption, L"INFORMATION");
    EXPECT_EQ(f.prompt.boxes[0].buttons, QXButtons::YesNo);
    EXPECT_EQ(f.host.shownMode, kModeDelete);
    EXPECT_FALSE(pathExists(f.dir / "a.txt"));
    EXPECT_TRUE(pathExists(f.dir / "b.txt"));
    EXPECT_EQ(f.names(f.doc.results), (std::vector<std::string>{"b.txt"}));
    EXPECT_EQ(f.names(f.state.allFiles), (std::vector<std::string>{"b.txt", "unmatched.txt"}));
    EXPECT_EQ(f.host.refreshes, 1);
    const auto log = QXLog::takeQueued();
    EXPECT_TRUE(logged(log, L"処理を開始します"));
    EXPECT_TRUE(logged(log, L"Delete mode: Normal"));
    EXPECT_TRUE(logged(log, L"処理完了"));
}

TEST(RunDelete, AnswerNoStartsNothing) {
    Fixture f;
    f.prompt.answers.push_back(QXAnswer::No);
    EXPECT_FALSE(f.run.RunDelete(kModeDoD));
    EXPECT_EQ(
        f.prompt.boxes[0].text,
        L"チェックされたファイルを「DoD 5220.22-M 準拠で処理して削除」してもよろしいですか？");
    EXPECT_EQ(f.host.shownMode, 0);
    EXPECT_TRUE(pathExists(f.dir / "a.txt"));
    EXPECT_EQ(f.doc.results.size(), 3u);
    EXPECT_TRUE(QXLog::takeQueued().empty());
}

TEST(RunDelete, AutoDelAsksNothing) {
    Fixture f;
    QXAppSettings::instance().cmdAutoDel = kModeRecycle;
    EXPECT_TRUE(f.run.RunDelete(kModeRecycle));
    EXPECT_TRUE(f.prompt.boxes.empty());
    EXPECT_FALSE(pathExists(f.dir / "a.txt"));
    // The per-file lines went to the log only.
    for (const auto& line : f.sink.lines) EXPECT_EQ(line.find(L"を削除"), std::wstring::npos);
}

TEST(RunDelete, CopyAsksForTheDestinationAndNamesIt) {
    Fixture f;
    f.host.destination = f.dir.createDir("dest");
    EXPECT_TRUE(f.run.RunDelete(kModeCopy));
    EXPECT_TRUE(f.prompt.boxes.empty());
    EXPECT_EQ(readFile(f.dir / "dest/a.txt"), "a.txt");
    EXPECT_EQ(readFile(f.dir / "dest/c.txt"), "c.txt");
    EXPECT_TRUE(pathExists(f.dir / "a.txt"));
    // Copied files leave the list like deleted ones.
    EXPECT_EQ(f.names(f.doc.results), (std::vector<std::string>{"b.txt"}));
    EXPECT_TRUE(logged(QXLog::takeQueued(),
                       L"Delete mode: Copy to [" + tovy::fromUtf8(f.host.destination) + L"]"));
}

TEST(RunDelete, CancelledChooserStartsNothing) {
    Fixture f;
    EXPECT_FALSE(f.run.RunDelete(kModeMoveKeepTree));
    EXPECT_EQ(f.host.chooserCalls, 1);
    EXPECT_EQ(f.host.shownMode, 0);
    EXPECT_EQ(f.doc.results.size(), 3u);
    EXPECT_TRUE(QXLog::takeQueued().empty());
}

TEST(RunDelete, ModeTwelveRunsTheEmptyFolderFlow) {
    Fixture f;
    f.host.emptyFolderResult = false;
    EXPECT_FALSE(f.run.RunDelete(kModeEmptyFolders));
    f.host.emptyFolderResult = true;
    EXPECT_TRUE(f.run.RunDelete(kModeEmptyFolders));
    EXPECT_EQ(f.host.emptyFolderRuns, 2);
    EXPECT_EQ(f.host.shownMode, 0);
    EXPECT_TRUE(f.prompt.boxes.empty());
    EXPECT_EQ(f.doc.results.size(), 3u);
}

TEST(RunDelete, UnknownModeIsLoggedAndRefused) {
    for (int32_t mode : {0, 13, -1}) {
        Fixture f;
        EXPECT_FALSE(f.run.RunDelete(mode)) << mode;
        const auto log = QXLog::takeQueued();
        EXPECT_TRUE(logged(log, L"処理モードが指定されていません")) << mode;
        EXPECT_TRUE(logged(log,
                           L"RunDelete : Could not create thread. illegal delete algorithm "
                           L"(mode=" +
                               std::to_wstring(mode) + L")"));
        EXPECT_EQ(f.host.shownMode, 0);
    }
}

TEST(RunDelete, FailedRecordsStayTicked) {
    Fixture f;
    ::chmod((f.dir / "a.txt").c_str(), 0444);
    EXPECT_TRUE(f.run.RunDelete(kModeDelete));
    EXPECT_TRUE(f.host.workerError);
    EXPECT_EQ(f.names(f.doc.results), (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_TRUE(f.doc.results[0]->hasFlag(QXFileInfo::kCheck));
}

}  // namespace
}  // namespace quenrix
