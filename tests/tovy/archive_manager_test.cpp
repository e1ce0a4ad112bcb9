// The archive manager over the project's archive modules: loading in table order with
// missing modules skipped, finding the module for a file (by extension without regard to
// case, self-extracting programs by CheckArchive), opening and closing, and what the
// modules report for good and damaged archives in every format the tests can make.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/FileStat.h"
#include "support/ArchiveFixtures.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"
#include "tovy/support_archive/Manager.h"

namespace tovy::support_archive {
namespace {

using quenrix::test::ArchiveKind;
using quenrix::test::ArchiveMember;
using quenrix::test::TempDir;

const std::vector<ArchiveMember> kThreeFiles = {
    {"a.txt", "first file"}, {"sub/", ""}, {"sub/b.txt", "second file"}, {"c.txt", "third"}};

std::vector<int32_t> typesOf(const Manager& m) {
    std::vector<int32_t> out;
    for (size_t i = 0; i < m.count(); ++i) out.push_back(m.archiver(int(i))->type);
    return out;
}

// Every name FindFirst/FindNext report, folders marked with a trailing "(dir)", and the
// code that ended the listing.
struct Listing {
    std::vector<std::string> names;
    int end = 0;
};

Listing listMembers(Archiver& entry) {
    Listing out;
    IndividualInfo info{};
    int r = entry.findFirst()(entry.archive, "*", &info);
    while (r == kArcOk) {
        const bool folder = (entry.getAttribute()(entry.archive) & kAttrDirectory) != 0;
        out.names.push_back(std::string(info.fileName) + (folder ? "(dir)" : ""));
        r = entry.findNext()(entry.archive, &info);
    }
    out.end = r;
    return out;
}

class ArchiveManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (quenrix::test::archiverBuildFolder().empty()) GTEST_SKIP() << "modules not built";
        ASSERT_EQ(manager.LoadArchivers(quenrix::test::archiverBuildFolder()), 9u);
    }
    std::wstring file(const std::string& name, const std::string& bytes) {
        return fromUtf8(dir.createFile(name, bytes));
    }
    TempDir dir;
    Manager manager;
};

TEST_F(ArchiveManagerTest, LoadsEveryModuleInTableOrderWithItsRow) {
    EXPECT_EQ(typesOf(manager), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    const Archiver& tar = *manager.archiver(3);
    EXPECT_EQ(tar.extensions, L"tar;bz2;gz");
    EXPECT_EQ(tar.switchNoFolders, L"-x --use-directory=0");
    EXPECT_EQ(manager.archiver(5)->switchOutput, L"-o");
    EXPECT_EQ(manager.archiver(8)->extensions, L"");
    for (size_t i = 0; i < manager.count(); ++i) {
        const Archiver& a = *manager.archiver(int(i));
        for (ArcFunction f :
             {kFnGetVersion, kFnCommand, kFnCheckArchive, kFnOpenArchive, kFnCloseArchive,
              kFnFindFirst, kFnFindNext, kFnGetAttribute, kFnGetFileName, kFnIsSFXFile}) {
            EXPECT_NE(a.functions[f], nullptr) << a.moduleName << " " << functionSuffix(f);
        }
        // Nothing here extracts, so no module offers it.
        EXPECT_EQ(a.functions[kFnExtract], nullptr) << a.moduleName;
    }
    EXPECT_EQ(manager.archiver(9), nullptr);
    EXPECT_EQ(manager.archiver(-1), nullptr);
}

TEST(ArchiveManager, SkipsMissingModulesAndLoadsNothingFromAnEmptyFolder) {
    const std::string built = quenrix::test::archiverBuildFolder();
    if (built.empty()) GTEST_SKIP() << "modules not built";
    TempDir dir;
    Manager manager;
    EXPECT_EQ(manager.LoadArchivers(dir.path()), 0u);
    EXPECT_EQ(manager.FindArchiver(fromUtf8(dir / "a.zip")), -1);

    for (const char* name : {"TAR32.so", "UNZIP32.so", "7-zip32.so"}) {
        std::filesystem::copy_file(built + "/" + name, dir / name);
    }
    // A file of the right name that is no module is skipped too.
    dir.createFile("CAB32.so", "not a shared object");
    EXPECT_EQ(manager.LoadArchivers(dir.path()), 3u);
    EXPECT_EQ(typesOf(manager), (std::vector<int32_t>{2, 4, 6}));
    EXPECT_EQ(manager.FindArchiver(L"/x/a.zip"), 0);
    EXPECT_EQ(manager.FindArchiver(L"/x/a.cab"), -1);
    manager.UnloadArchivers();
    EXPECT_EQ(manager.count(), 0u);
}

TEST_F(ArchiveManagerTest, FindsTheModuleByExtension) {
    const struct {
        const wchar_t* path;
        int32_t type;  // 0: none
    } cases[] = {
        {L"/d/a.zip", 2}, {L"/d/data.ZIP", 2},  {L"/d/backup.tar.gz", 4}, {L"/d/x.tar", 4},
        {L"/d/x.Bz2", 4}, {L"/d/x.7z", 6},      {L"/d/x.lzh", 1},         {L"/d/x.cab", 3},
        {L"/d/x.rar", 5}, {L"/d/x.gca", 7},     {L"/d/x.yz1", 8},         {L"/d/x.txt", 0},
        {L"/d/noext", 0}, {L"/d.zip/noext", 0}, {L"/d/trailing.", 0},     {L"/d/missing.exe", 0},
    };
    for (const auto& c : cases) {
        const int index = manager.FindArchiver(c.path);
        EXPECT_EQ(index < 0 ? 0 : manager.archiver(index)->type, c.type)
            << toUtf8(std::wstring(c.path));
    }
}

TEST_F(ArchiveManagerTest, FindsSelfExtractingProgramsByTheirContent) {
    const std::string zip = quenrix::test::writeArchive(ArchiveKind::kZip, kThreeFiles);
    const std::string sevenZip = quenrix::test::writeArchive(ArchiveKind::kSevenZip, kThreeFiles);
    const std::string lzh = quenrix::test::writeLzh({{"a.txt", "first"}});
    const std::string cab = quenrix::test::writeCab({{"a.txt", "first"}});
    ASSERT_FALSE(zip.empty());
    ASSERT_FALSE(sevenZip.empty());
    // An ordinary program, renamed.
    const std::string program = quenrix::test::readFile("/bin/true");
    ASSERT_FALSE(program.empty());
    const struct {
        const char* name;
        std::string bytes;
        int32_t type;
    } cases[] = {
        {"zipsfx.exe", quenrix::test::selfExtracting(zip), 2},
        {"7zsfx.EXE", quenrix::test::selfExtracting(sevenZip, 0x27000), 6},
        {"lzhsfx.exe", quenrix::test::selfExtracting(lzh), 1},
        {"cabsfx.exe", quenrix::test::selfExtracting(cab), 3},
        {"program.exe", program, 0},
        {"stub.exe", quenrix::test::selfExtracting(""), 0},
        {"empty.exe", "", 0},
    };
    for (const auto& c : cases) {
        const int index = manager.FindArchiver(file(c.name, c.bytes));
        EXPECT_EQ(index < 0 ? 0 : manager.archiver(index)->type, c.type) << c.name;
        if (index >= 0) {
            ASSERT_TRUE(manager.OpenArchiver(index, fromUtf8(dir / c.name))) << c.name;
            Archiver& entry = *manager.archiver(index);
            EXPECT_EQ(entry.function<GetIntFn>(kFnIsSFXFile)(entry.archive), 1) << c.name;
            EXPECT_FALSE(listMembers(entry).names.empty()) << c.name;
            manager.CloseArchiver(index);
        }
    }
}

TEST_F(ArchiveManagerTest, ListsMembersOfEveryWritableFormatWithFolderMarks) {
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> names;
    } cases[] = {
        {"a.zip",
         quenrix::test::writeArchive(ArchiveKind::kZip, kThreeFiles),
         {"a.txt", "sub/(dir)", "sub/b.txt", "c.txt"}},
        {"a.tar.gz",
         quenrix::test::writeArchive(ArchiveKind::kTarGz, kThreeFiles),
         {"a.txt", "sub/(dir)", "sub/b.txt", "c.txt"}},
        {"a.tar.bz2",
         quenrix::test::writeArchive(ArchiveKind::kTarBz2, kThreeFiles),
         {"a.txt", "sub/(dir)", "sub/b.txt", "c.txt"}},
        // 7z writes the folders after the files.
        {"a.7z",
         quenrix::test::writeArchive(ArchiveKind::kSevenZip, kThreeFiles),
         {"a.txt", "sub/b.txt", "c.txt", "sub/(dir)"}},
        {"a.lzh",
         quenrix::test::writeLzh({{"a.txt", "first"}, {"b.txt", "second"}}),
         {"a.txt", "b.txt"}},
        {"a.cab",
         quenrix::test::writeCab({{"a.txt", "first"}, {"b.txt", "second"}}),
         {"a.txt", "b.txt"}},
        {"folders.zip",
         quenrix::test::writeArchive(ArchiveKind::kZip, {{"d/", ""}, {"d/e/", ""}}),
         {"d/(dir)", "d/e/(dir)"}},
        {"empty.zip", quenrix::test::writeArchive(ArchiveKind::kZip, {}), {}},
    };
    for (const auto& c : cases) {
        const std::wstring path = file(c.name, c.bytes);
        const int index = manager.FindArchiver(path);
        ASSERT_GE(index, 0) << c.name;
        ASSERT_TRUE(manager.OpenArchiver(index, path)) << c.name;
        Archiver& entry = *manager.archiver(index);
        Listing listing = listMembers(entry);
        EXPECT_EQ(listing.names, c.names) << c.name;
        EXPECT_EQ(listing.end, kArcEnd) << c.name;
        // A second listing starts again from the first member.
        EXPECT_EQ(listMembers(entry).names, c.names) << c.name;
        manager.CloseArchiver(index);
        EXPECT_EQ(entry.archive, nullptr);
        const CheckArchiveFn check = entry.checkArchive();
        for (int mode : {kCheckRapid, kCheckBasic, kCheckFullCheck}) {
            EXPECT_EQ(check(toUtf8(path).c_str(), mode), 1) << c.name << " mode " << mode;
        }
    }
}

// Damage as the modules see it. `open` is whether OpenArchive accepts the file, `names`
// what the listing reports before it ends, `end` how it ends, `check` CheckArchive in the
// rapid, basic and full modes.
TEST_F(ArchiveManagerTest, TellsDamagedArchivesApart) {
    const std::string zip = quenrix::test::writeArchive(ArchiveKind::kZip, kThreeFiles);
    const std::string tgz = quenrix::test::writeArchive(ArchiveKind::kTarGz, kThreeFiles);
    const std::string tbz = quenrix::test::writeArchive(ArchiveKind::kTarBz2, kThreeFiles);
    const std::string sz = quenrix::test::writeArchive(ArchiveKind::kSevenZip, kThreeFiles);
    const std::vector<ArchiveMember> twoFiles = {{"a.txt", "first file"}, {"b.txt", "second"}};
    const std::string lzh = quenrix::test::writeLzh(twoFiles);
    const std::string cab = quenrix::test::writeCab(twoFiles);
    auto flipped = [](std::string bytes, size_t at) {
        bytes[at] = char(bytes[at] ^ 0x55);
        return bytes;
    };
    const size_t zipData = quenrix::test::zipDataOffset(zip, "a.txt");
    const size_t secondZipData = quenrix::test::zipDataOffset(zip, "sub/b.txt");
    const struct {
        const char* name;
        std::string bytes;
        bool open;
        std::vector<std::string> names;
        int end;
        const char* check;
    } cases[] = {
        {"truncated.zip", zip.substr(0, zip.size() / 2), false, {}, 0, "000"},
        {"tail-cut.zip", zip.substr(0, zip.size() - 4), false, {}, 0, "000"},
        {"first-member.zip", flipped(zip, zipData + 1), true, {}, kArcErrorBroken, "110"},
        {"second-member.zip",
         flipped(zip, secondZipData),
         true,
         {"a.txt", "sub/(dir)"},
         kArcErrorBroken,
         "110"},
        {"truncated.tar.gz", tgz.substr(0, tgz.size() - 10), false, {}, 0, "000"},
        {"flipped.tar.gz", flipped(tgz, tgz.size() / 2), false, {}, 0, "000"},
        {"crc.tar.gz", flipped(tgz, tgz.size() - 6), false, {}, 0, "000"},
        {"flipped.tar.bz2", flipped(tbz, tbz.size() / 2), false, {}, 0, "000"},
        {"truncated.7z", sz.substr(0, sz.size() / 2), false, {}, 0, "000"},
        {"flipped.7z", flipped(sz, 40), true, {}, kArcErrorBroken, "110"},
        {"flipped.lzh", flipped(lzh, lzh.find("first file")), true, {}, kArcErrorBroken, "110"},
        {"truncated.lzh", lzh.substr(0, lzh.size() - 4), true, {"a.txt"}, kArcErrorBroken, "100"},
        // One data block holds both files: its checksum fails when the last file ends.
        {"flipped.cab",
         flipped(cab, cab.find("first file")),
         true,
         {"a.txt"},
         kArcErrorBroken,
         "110"},
        {"garbage.zip", "PK\x03\x04 this is not really a zip", false, {}, 0, "000"},
        {"garbage.rar",
         std::string("Rar!\x1a\x07", 6) + std::string(1, '\0') + "nothing more",
         false,
         {},
         0,
         "000"},
        {"garbage.tar", std::string(2000, 'x'), false, {}, 0, "000"},
        {"nothing.gz", "", false, {}, 0, "000"},
    };
    for (const auto& c : cases) {
        const std::wstring path = file(c.name, c.bytes);
        const int index = manager.FindArchiver(path);
        ASSERT_GE(index, 0) << c.name;
        Archiver& entry = *manager.archiver(index);
        std::string check;
        for (int mode : {kCheckRapid, kCheckBasic, kCheckFullCheck}) {
            check += entry.checkArchive()(toUtf8(path).c_str(), mode) ? '1' : '0';
        }
        EXPECT_EQ(check, c.check) << c.name;
        ASSERT_EQ(manager.OpenArchiver(index, path), c.open) << c.name;
        if (!c.open) continue;
        Listing listing = listMembers(entry);
        EXPECT_EQ(listing.names, c.names) << c.name;
        EXPECT_EQ(listing.end, c.end) << c.name;
        manager.CloseArchiver(index);
    }
}

TEST_F(ArchiveManagerTest, OpensOnlyTheExpectedRegularFileOnce) {
    const std::string zip = quenrix::test::writeArchive(ArchiveKind::kZip, kThreeFiles);
    const std::wstring path = file("a.zip", zip);
    const std::wstring other = file("b.zip", zip);
    const int index = manager.FindArchiver(path);
    ASSERT_GE(index, 0);

    EXPECT_FALSE(manager.OpenArchiver(-1, path));
    EXPECT_FALSE(manager.OpenArchiver(int(manager.count()), path));
    ASSERT_TRUE(manager.OpenArchiver(index, path));
    // One open archive per entry.
    EXPECT_FALSE(manager.OpenArchiver(index, other));
    manager.CloseArchiver(index);
    manager.CloseArchiver(index);  // closing twice does nothing

    platform::FileStat found;
    ASSERT_TRUE(platform::statPath(toUtf8(path), found));
    EXPECT_TRUE(manager.OpenArchiver(index, path, &found));
    manager.CloseArchiver(index);
    // Another file now stands under the recorded path.
    EXPECT_FALSE(manager.OpenArchiver(index, other, &found));

    // Links and special files are never opened, whether or not the caller recorded them.
    ASSERT_EQ(::symlink(toUtf8(path).c_str(), (dir / "link.zip").c_str()), 0);
    EXPECT_FALSE(manager.OpenArchiver(index, fromUtf8(dir / "link.zip")));
    ASSERT_EQ(::mkfifo((dir / "fifo.zip").c_str(), 0600), 0);
    EXPECT_FALSE(manager.OpenArchiver(index, fromUtf8(dir / "fifo.zip")));
    EXPECT_EQ(manager.archiver(index)->checkArchive()((dir / "fifo.zip").c_str(), kCheckBasic), 0);
    ASSERT_EQ(::mkdir((dir / "folder.zip").c_str(), 0700), 0);
    EXPECT_FALSE(manager.OpenArchiver(index, fromUtf8(dir / "folder.zip")));
    EXPECT_EQ(manager.archiver(index)->archive, nullptr);
}

}  // namespace
}  // namespace tovy::support_archive
