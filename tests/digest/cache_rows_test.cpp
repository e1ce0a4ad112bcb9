// The in-memory rows of a cache tag: every path answers with its last row, across the
// growth of the index, and a path never set has none.
#include <string>

#include <gtest/gtest.h>

#include "digest/QXCacheRows.h"

namespace quenrix {
namespace {

TEST(CacheRows, EveryPathAnswersWithItsLastRow) {
    QXCacheRows rows;
    const int count = 5000;  // several doublings of the index
    for (int i = 0; i < count; ++i)
        rows.set("/d/" + std::to_string(i), "c" + std::to_string(i), "s" + std::to_string(i));
    for (int i = 0; i < count; i += 3) rows.set("/d/" + std::to_string(i), "", "new");
    rows.set("", "empty path", "x");
    EXPECT_EQ(rows.size(), size_t(count) + 1);

    std::string_view content, stamp;
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(rows.get("/d/" + std::to_string(i), content, stamp)) << i;
        EXPECT_EQ(content, i % 3 ? "c" + std::to_string(i) : "") << i;
        EXPECT_EQ(stamp, i % 3 ? "s" + std::to_string(i) : "new") << i;
    }
    ASSERT_TRUE(rows.get("", content, stamp));
    EXPECT_EQ(content, "empty path");
    EXPECT_FALSE(rows.get("/d/5000", content, stamp));
    EXPECT_FALSE(rows.get("/d/1 ", content, stamp));
    EXPECT_FALSE(QXCacheRows().get("/d/1", content, stamp));
}

}  // namespace
}  // namespace quenrix
