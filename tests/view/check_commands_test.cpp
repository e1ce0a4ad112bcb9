// The tick logic of the result list: fill ticks, status line, extension list and the
// check commands, folder priority included.
#include "view/QXCheckCommands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quenrix {
namespace {

constexpr uint32_t kC = QXFileInfo::kCheck;
constexpr uint32_t kG = QXFileInfo::kInGroup;
constexpr uint32_t kN = QXFileInfo::kNewestInGroup;
constexpr uint32_t kS = QXFileInfo::kSimilarWork1;

struct Rec {
    const char* path;
    int32_t group = 0;
    uint32_t flags = 0;
    int64_t writeSeconds = 0;  // since 1970
    uint64_t size = 0;
};

QXFileList makeList(const std::vector<Rec>& recs) {
    QXFileList files;
    for (const Rec& r : recs) {
        platform::FileStat st;
        st.size = r.size;
        st.writeNs = r.writeSeconds * 1000000000LL;
        st.createNs = st.writeNs;
        st.accessNs = st.writeNs;
        auto file = std::make_shared<QXFileInfo>(r.path, st);
        file->groupNumber = r.group;
        file->setFlags(r.flags);
        files.push_back(file);
    }
    return files;
}

// One character per row: "1" ticked, "0" not.
std::string ticks(const QXFileList& files) {
    std::string out;
    for (const auto& file : files) out += file->hasFlag(QXFileInfo::kCheck) ? '1' : '0';
    return out;
}

TEST(CheckCommandsTest, FillTicksDuplicateSearch) {
    // Groups of three and two: every file but the newest of each is ticked. A stale tick
    // on a newest record is cleared.
    QXFileList files = makeList({
        {"/d/a1", 0, kG, 1, 10},
        {"/d/a2", 0, kG | kN | kC, 3, 20},
        {"/d/a3", 0, kG, 2, 30},
        {"/d/b1", 1, kG | kN, 5, 40},
        {"/d/b2", 1, kG, 4, 50},
    });
    applyFillTicks(files, false);
    EXPECT_EQ(ticks(files), "10101");
    const QXTickCount count = countTicks(files);
    EXPECT_EQ(count.count, 3u);
    EXPECT_EQ(count.size, 10u + 30u + 50u);
}

TEST(CheckCommandsTest, FillTicksPlainSearchAndImport) {
    // A plain search: no marks, group 0; every match is ticked.
    QXFileList plain = makeList({{"/p/a"}, {"/p/b"}, {"/p/c", 0, kN}});
    applyFillTicks(plain, false);
    EXPECT_EQ(ticks(plain), "111");

    // Imported records keep the ticks the file recorded, whatever their marks.
    QXFileList imported = makeList({{"/i/a", 0, kG | kN | kC}, {"/i/b", 0, 0}, {"/i/c", 2, kC}});
    applyFillTicks(imported, true);
    EXPECT_EQ(ticks(imported), "101");
}

TEST(CheckCommandsTest, StatusLine) {
    static const struct {
        uint64_t enumerated;
        size_t rows;
        QXTickCount ticks;
        bool showTotalSize;
        const wchar_t* text;
    } cases[] = {
        {5, 0, {0, 0}, false, L"総数: 5  一致: 0  選択: 0"},
        {5, 0, {0, 0}, true, L"総数: 5  一致: 0  選択: 0  総ｻｲｽﾞ: 0"},
        {1200, 7, {2, 3345}, true, L"総数: 1200  一致: 7  選択: 2  総ｻｲｽﾞ: 3,345"},
        {1200, 7, {2, 3345}, false, L"総数: 1200  一致: 7  選択: 2"},
        {10, 3, {3, 5000000000ULL}, true, L"総数: 10  一致: 3  選択: 3  総ｻｲｽﾞ: 5,000,000,000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formatStatusLine(c.enumerated, c.rows, c.ticks, c.showTotalSize), c.text);
    }
}

TEST(CheckCommandsTest, StatusLineFromTicks) {
    QXFileList files =
        makeList({{"/s/a", 0, kC, 0, 1000}, {"/s/b", 0, 0, 0, 7}, {"/s/c", 0, kC, 0, 2345}});
    EXPECT_EQ(formatStatusLine(9, files.size(), countTicks(files), true),
              L"総数: 9  一致: 3  選択: 2  総ｻｲｽﾞ: 3,345");
}

TEST(CheckCommandsTest, ExtensionListAndCheckByExtension) {
    QXFileList files = makeList({
        {"/e/a.JPG"},
        {"/e/b.jpg"},
        {"/e/c.png"},
        {"/e/noext"},
        {"/e/trailing."},
        {"/e/x.tar.gz"},
        {"/e.dir/plain"},       // a "." in the folder is no extension
        {"/e/with space.a b"},  // an extension ends at a space: none here
        {"/e/写真.ＪＰＧ"},
    });
    const std::vector<std::wstring> expected = {L"gz", L"jpg", L"png", L"ｊｐｇ"};
    EXPECT_EQ(extensionList(files), expected);

    checkByExtension(files, L"jpg", true);
    EXPECT_EQ(ticks(files), "110000000");
    checkByExtension(files, L"ｊｐｇ", true);
    EXPECT_EQ(ticks(files), "110000001");
    checkByExtension(files, L"JPG", false);
    EXPECT_EQ(ticks(files), "000000001");
    // The empty text is not the extension of the names without one.
    checkByExtension(files, L"", true);
    EXPECT_EQ(ticks(files), "000000001");
}

TEST(CheckCommandsTest, CheckAllNoneAndRows) {
    QXFileList files = makeList({{"/r/a"}, {"/r/b", 0, kC}, {"/r/c"}, {"/r/d", 0, kC}});
    checkRows(files, {0, 1, 99}, true);
    EXPECT_EQ(ticks(files), "1101");
    checkRows(files, {3, 2, 4}, false);
    EXPECT_EQ(ticks(files), "1100");
    checkAll(files);
    EXPECT_EQ(ticks(files), "1111");
    uncheckAll(files);
    EXPECT_EQ(ticks(files), "0000");
}

// The records of one table case for keepByDate: group number, flags with the starting
// tick, last-write time; newest and oldest give the expected ticks after each command.
struct KeepCase {
    const char* name;
    std::vector<Rec> recs;
    const char* newest;
    const char* oldest;
};

TEST(CheckCommandsTest, KeepNewestAndOldest) {
    const KeepCase cases[] = {
        {"groups of three and two",
         {{"/k/a", 0, kG, 1},
          {"/k/b", 0, kG, 3},
          {"/k/c", 0, kG, 2},
          {"/k/d", 1, kG, 5},
          {"/k/e", 1, kG, 4}},
         "10101",
         "01110"},
        {"ungrouped records of group 0 keep their ticks, newer or not",
         {{"/k/a", 0, kG, 2},
          {"/k/b", 0, kG, 1},
          {"/k/x", 0, 0, 9},
          {"/k/y", 0, kC, 9},
          {"/k/z", 0, kC, 0}},
         "01011",
         "10011"},
        {"a group split in the list is still one group",
         {{"/k/a", 3, kG, 5}, {"/k/b", 4, kG, 1}, {"/k/c", 3, kG, 7}, {"/k/d", 4, kG, 2}},
         "1100",
         "0011"},
        {"similar-image mark counts as a group",
         {{"/k/a", 2, kS, 1}, {"/k/b", 2, kS, 2}, {"/k/c", 2, kC, 0}},
         "101",
         "011"},
        {"equal times keep the first met",
         {{"/k/a", 1, kG | kC, 4}, {"/k/b", 1, kG, 4}, {"/k/c", 1, kG | kC, 4}},
         "011",
         "011"},
        {"a single record group is kept", {{"/k/a", 5, kG | kC, 1}}, "0", "0"},
    };
    for (const KeepCase& c : cases) {
        for (bool newest : {true, false}) {
            QXFileList files = makeList(c.recs);
            keepByDate(files, newest);
            EXPECT_EQ(ticks(files), newest ? c.newest : c.oldest)
                << c.name << (newest ? " (newest)" : " (oldest)");
        }
    }
}

TEST(CheckCommandsTest, UncheckAllThenKeepOldest) {
    QXFileList files = makeList({{"/u/a", 0, kG, 3},
                                 {"/u/b", 0, kG, 1},
                                 {"/u/c", 0, kG, 2},
                                 {"/u/d", 1, kG, 8},
                                 {"/u/e", 1, kG, 9}});
    EXPECT_TRUE(runCheckCommand(files, kCheckCommandUncheckAll, {}, {}));
    EXPECT_TRUE(runCheckCommand(files, kCheckCommandKeepOldest, {}, {}));
    EXPECT_EQ(ticks(files), "10101");
}

TEST(CheckCommandsTest, LiesInFolder) {
    static const struct {
        const char* path;
        const wchar_t* folder;
        bool subfolders;
        bool lies;
    } cases[] = {
        {"/keep/a.txt", L"/keep", false, true},
        {"/keep/a.txt", L"/keep/", false, true},
        {"/keep/sub/a.txt", L"/keep", false, false},
        {"/keep/sub/a.txt", L"/keep", true, true},
        {"/data2/a.txt", L"/data", true, true},  // text containment
        {"/data2/a.txt", L"/data", false, false},
        {"/backup/keep/a.txt", L"/keep", true, true},
        {"/backup/keep/a.txt", L"/keep", false, false},
        // The folder's text twice in the path: the file is still two levels down.
        {"/x/y/x/f.txt", L"/x", false, false},
        {"/Keep/a.txt", L"/keep", true, false},  // case-sensitive
        {"/a.txt", L"/", false, true},
        {"/r/a.txt", L"/", false, false},
        {"/r/a.txt", L"/", true, true},
        {"/r/a.txt", L"", true, false},
        {"/写真/a.jpg", L"/写真", false, true},
    };
    for (const auto& c : cases) {
        QXFileList one = makeList({{c.path}});
        EXPECT_EQ(liesInFolder(*one.front(), {c.folder, c.subfolders}), c.lies)
            << c.path << " in " << (c.subfolders ? "subfolders of " : "") << c.folder;
    }
}

struct PriorityCase {
    const char* name;
    std::vector<QXPriorityFolder> folders;
    int32_t action;
    int32_t otherwise;
    std::vector<Rec> recs;
    const char* expected;
};

TEST(CheckCommandsTest, FolderPriority) {
    const std::vector<Rec> keepPair = {{"/keep/a.txt", 0, kG, 1}, {"/other/b.txt", 0, kG, 2}};
    const PriorityCase cases[] = {
        {"delete preferred: the file in the folder", {{L"/keep", false}}, 0, 0, keepPair, "10"},
        {"keep preferred: the file in the folder", {{L"/keep", false}}, 1, 0, keepPair, "01"},
        {"delete preferred: a subfolder does not count without Subfolder",
         {{L"/keep", false}},
         0,
         0,
         {{"/keep/sub/a.txt", 0, kG, 1}, {"/other/b.txt", 0, kG, 2}},
         "10"},  // no folder matched: keep the newest
        {"delete preferred: containment with Subfolder",
         {{L"/data", true}},
         0,
         0,
         {{"/data2/a.txt", 0, kG, 1}, {"/other/b.txt", 0, kG, 0}},
         "10"},
        {"keep preferred: containment with Subfolder",
         {{L"/data", true}},
         1,
         0,
         {{"/other/b.txt", 0, kG, 1}, {"/data2/x/a.txt", 0, kG, 0}},
         "10"},
        {"delete preferred: every record in a folder keeps the lowest folder's",
         {{L"/p1", false}, {L"/p2", false}, {L"/p3", false}},
         0,
         0,
         {{"/p3/c", 4, kG, 9}, {"/p1/a", 4, kG, 1}, {"/p2/b", 4, kG, 5}},
         "011"},
        {"delete preferred: one tick per folder, the rest by date",
         {{L"/p1", false}},
         0,
         0,
         {{"/p1/a", 1, kG, 1}, {"/p1/b", 1, kG, 5}, {"/o/c", 1, kG, 3}, {"/o/d", 1, kG, 2}},
         "1011"},
        {"delete preferred: rest by date, delete the newer",
         {{L"/p1", false}},
         0,
         1,
         {{"/p1/a", 1, kG, 1}, {"/p1/b", 1, kG, 5}, {"/o/c", 1, kG, 3}, {"/o/d", 1, kG, 2}},
         "1110"},
        {"delete preferred: a record two folders hold is counted once",
         {{L"/a", true}, {L"/a/x", false}, {L"/b", false}},
         0,
         0,
         {{"/a/x/f", 2, kG, 1}, {"/b/g", 2, kG, 2}},
         "10"},
        {"keep preferred: the highest folder holding one wins",
         {{L"/p1", false}, {L"/p2", false}},
         1,
         0,
         {{"/p2/a", 1, kG, 9}, {"/p1/b", 1, kG, 1}, {"/p1/c", 1, kG, 2}},
         "101"},
        {"keep preferred: no folder holds any, keep the newest",
         {{L"/none", true}},
         1,
         0,
         {{"/o/a", 1, kG, 1}, {"/o/b", 1, kG, 3}, {"/o/c", 1, kG, 2}},
         "101"},
        {"keep preferred: no folder holds any, keep the oldest",
         {{L"/none", true}},
         1,
         1,
         {{"/o/a", 1, kG, 2}, {"/o/b", 1, kG, 3}, {"/o/c", 1, kG, 1}},
         "110"},
        {"no folders at all", {}, 0, 0, {{"/o/a", 1, kG, 2}, {"/o/b", 1, kG, 3}}, "10"},
        {"records outside the groups keep their ticks",
         {{L"/keep", false}},
         0,
         0,
         {{"/keep/a", 0, kG, 1}, {"/keep/x", 0, kC, 0}, {"/o/y", 0, 0, 5}, {"/o/b", 0, kG, 2}},
         "1100"},
        {"groups by number, not by runs, the similar mark included",
         {{L"/keep", false}},
         1,
         0,
         {{"/o/a", 0, kG, 1}, {"/o/s", 7, kS, 1}, {"/keep/b", 0, kG, 0}, {"/keep/t", 7, kS, 0}},
         "1100"},
    };
    for (const PriorityCase& c : cases) {
        QXFileList files = makeList(c.recs);
        applyFolderPriority(files, {c.folders, c.action, c.otherwise});
        EXPECT_EQ(ticks(files), c.expected) << c.name;
    }
}

TEST(CheckCommandsTest, FolderPriorityResetsOnlyGroupMarks) {
    const uint32_t d = QXFileInfo::kDone, m = QXFileInfo::kMatched, i = QXFileInfo::kImageSize;
    QXFileList files = makeList({
        {"/keep/a", 0, kG | kN | d | m | i, 1},
        {"/o/b", 0, kG | kC, 2},
        {"/o/c", 0, kN | d | m, 3},  // outside any group: untouched
    });
    applyFolderPriority(files, {{{L"/keep", false}}, 0, 0});
    EXPECT_EQ(files[0]->flags(), kG | i | kC);
    EXPECT_EQ(files[1]->flags(), kG);
    EXPECT_EQ(files[2]->flags(), kN | d | m);
}

TEST(CheckCommandsTest, MenuCommands) {
    const std::vector<std::wstring> exts = {L"jpg", L"txt"};
    static const struct {
        int id;
        bool known;
        const char* expected;
    } cases[] = {
        {kCheckCommandCheckAll, true, "1111"},
        {kCheckCommandUncheckAll, true, "0000"},
        {kCheckCommandCheckSelected, true, "1110"},  // rows 0 and 2 selected
        {kCheckCommandUncheckSelected, true, "0100"},
        {kCheckCommandKeepNewest, true, "1010"},
        {kCheckCommandKeepOldest, true, "0110"},
        {kCheckCommandFolderPriority, false, "0110"},  // needs the dialog
        {8, false, "0110"},
        {kCheckByExtensionBase + 0, true, "1110"},  // check jpg
        {kCheckByExtensionBase + 1, true, "0111"},  // check txt
        {kCheckByExtensionBase + 2, true, "0010"},  // uncheck jpg
        {kCheckByExtensionBase + 3, true, "0100"},  // uncheck txt
        {kCheckByExtensionBase + 4, false, "0110"},
        {-1, false, "0110"},
    };
    for (const auto& c : cases) {
        QXFileList files = makeList({
            {"/m/a.jpg", 0, kG, 1},
            {"/m/b.JPG", 0, kG | kC, 2},
            {"/m/c.txt", 0, kC},
            {"/m/d.txt", 0, 0},
        });
        EXPECT_EQ(runCheckCommand(files, c.id, {0, 2, 42}, exts), c.known) << "id " << c.id;
        EXPECT_EQ(ticks(files), c.expected) << "id " << c.id;
    }
}

}  // namespace
}  // namespace quenrix
