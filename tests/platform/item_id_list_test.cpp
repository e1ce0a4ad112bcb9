#include "platform/ItemIdList.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace platform {
namespace {

using quenrix::test::TempDir;

TEST(ItemIdListTest, ComponentsAndByteSize) {
    struct {
        const char* path;
        size_t count;
        int32_t byteSize;
        const char* parsingName;
    } cases[] = {
        {"/", 0, 2, "/"},
        {"/home", 1, 2 + 4 + 2, "/home"},
        {"/home/user", 2, 2 + 4 + 2 + 4 + 2, "/home/user"},
        {"/home//user/./x/..", 2, 2 + 4 + 2 + 4 + 2, "/home/user"},
        {"/a/\x8E\xCA", 2, 2 + 1 + 2 + 2 + 2, "/a/\x8E\xCA"},
    };
    for (const auto& c : cases) {
        ItemIdList list = ItemIdList::fromPath(c.path);
        EXPECT_EQ(list.components().size(), c.count) << c.path;
        EXPECT_EQ(list.empty(), c.count == 0) << c.path;
        EXPECT_EQ(list.byteSize(), c.byteSize) << c.path;
        EXPECT_EQ(list.path(), c.parsingName) << c.path;
    }
    ItemIdList child = ItemIdList::fromPath("/home").child("user");
    EXPECT_EQ(child, ItemIdList::fromPath("/home/user"));
    EXPECT_EQ(child.byteSize(), 14);
}

TEST(ItemIdListTest, ParseDisplayNameNeedsAnExistingAbsolutePath) {
    TempDir dir;
    std::string folder = dir.createDir("folder");
    auto list = ItemIdList::parseDisplayName(folder + "/");
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->path(), folder);
    EXPECT_EQ(list->components().back(), "folder");

    // A link is not resolved, and a dangling one still exists.
    ASSERT_EQ(symlink("nowhere", (dir / "dangling").c_str()), 0);
    list = ItemIdList::parseDisplayName(dir / "dangling");
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->path(), dir / "dangling");

    EXPECT_FALSE(ItemIdList::parseDisplayName(dir / "missing").has_value());
    EXPECT_FALSE(ItemIdList::parseDisplayName("relative/path").has_value());
    EXPECT_FALSE(ItemIdList::parseDisplayName("").has_value());
    EXPECT_TRUE(ItemIdList::parseDisplayName("/").has_value());
}

}  // namespace
}  // namespace platform
