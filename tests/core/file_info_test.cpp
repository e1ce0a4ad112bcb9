#include "core/QXFileInfo.h"

#include <gtest/gtest.h>

#include "core/QXTarget.h"
#include "platform/Times.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

using test::TempDir;

TEST(FileInfo, MadeFromAnExistingPathOnly) {
    TempDir dir;
    std::string file = dir.createFile("a b.txt", "hello", 1500000000);
    auto rec = QXFileInfo::fromPath(file);
    ASSERT_TRUE(rec);
    EXPECT_EQ(rec->flags(), 0u);
    EXPECT_EQ(rec->targetIndex, 0);
    EXPECT_EQ(rec->fileName(), L"a b.txt");
    EXPECT_EQ(rec->size(), 5u);
    platform::WIN32_FIND_DATAW fd = rec->findData();
    EXPECT_EQ(fd.cFileName, L"a b.txt");
    EXPECT_EQ(platform::findDataSize(fd), 5u);
    EXPECT_EQ(platform::fileTimeTicks(fd.ftLastWriteTime),
              platform::kUnixEpochTicks + 1500000000ULL * 10000000ULL);
    EXPECT_EQ(rec->extrasIfAny(), nullptr);

    EXPECT_FALSE(QXFileInfo::fromPath(dir / "missing"));
    EXPECT_FALSE(QXFileInfo::fromPath("relative.txt"));
    EXPECT_FALSE(QXFileInfo::fromPath(""));
}

TEST(FileInfo, IdentifiersDifferAndFlagsCombine) {
    platform::FileStat st;
    QXFileInfo a("/x/a", st), b("/x/b", st);
    EXPECT_NE(a.id(), b.id());
    a.addFlags(QXFileInfo::kCheck | QXFileInfo::kInGroup);
    a.clearFlags(QXFileInfo::kCheck);
    EXPECT_EQ(a.flags(), QXFileInfo::kInGroup);
    EXPECT_EQ(std::string(a.nativeName()), "a");
    a.setNativePath("/y/z/c.txt");
    EXPECT_EQ(a.fileName(), L"c.txt");
}

TEST(Target, ParsesExistingFoldersOnly) {
    TempDir dir;
    dir.createDir("sub");
    auto target = QXTarget::fromPath(dir / "sub");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->path, dir / "sub");
    EXPECT_EQ(target->itemIdListSize, target->itemIdList.byteSize());
    EXPECT_GT(target->itemIdListSize, 2);
    EXPECT_FALSE(QXTarget::fromPath(dir / "nothing"));
}

}  // namespace
}  // namespace quenrix
