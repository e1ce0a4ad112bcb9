// Reading folders ahead of the walk: whatever order the walk asks in, and whatever it
// hints or forgets, every listing is the one a direct read gives.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/QXFolderPrefetch.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

using test::TempDir;

std::vector<std::string> names(const QXFolderListing& listing) {
    std::vector<std::string> out;
    for (const auto& entry : listing.entries) out.push_back(entry.first);
    return out;
}

TEST(FolderPrefetch, ListingsMatchDirectReadsInAnyOrder) {
    TempDir dir;
    // More folders than may wait at once, so the reader has to pause and go on.
    const size_t count = QXFolderPrefetch::kMaxWaiting + 44;
    std::vector<std::string> folders;
    for (size_t i = 0; i < count; ++i) {
        const std::string folder = dir.createDir("f" + std::to_string(i));
        for (size_t k = 0; k <= i % 5; ++k)
            dir.createFile("f" + std::to_string(i) + "/x" + std::to_string(k), "a");
        folders.push_back(folder);
    }
    const std::string missing = dir / "missing";

    QXFolderPrefetch prefetch;
    for (const auto& folder : folders) prefetch.hint(folder);
    prefetch.hint(missing);
    prefetch.hint(folders[0]);  // a second hint changes nothing
    // Taken from the back, so some are read by the asking thread and some ahead; every
    // seventh is forgotten instead (and then taken anyway, which reads it afresh).
    for (size_t n = count; n-- > 0;) {
        if (n % 7 == 0) prefetch.forget(folders[n]);
        const QXFolderListing got = prefetch.take(folders[n]);
        const QXFolderListing direct = QXFolderListing::read(folders[n]);
        ASSERT_TRUE(got.ok) << folders[n];
        std::vector<std::string> a = names(got), b = names(direct);
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        EXPECT_EQ(a, b) << folders[n];
        EXPECT_EQ(a.size(), n % 5 + 1);
    }
    const QXFolderListing gone = prefetch.take(missing);
    EXPECT_FALSE(gone.ok);
    EXPECT_EQ(gone.error, ENOENT);
    // A folder never hinted is read on the spot; one hinted and never taken is dropped
    // with the object.
    prefetch.hint(folders[1]);
    EXPECT_TRUE(prefetch.take(folders[2]).ok);
}

}  // namespace
}  // namespace quenrix
