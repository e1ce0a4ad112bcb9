#include "app/QXAutoRun.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/QXTarget.h"
#include "doc/CQuenrixDoc.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

using test::TempDir;

// The targets an unattended run must not go without: those of the document file that
// the open left out because their folder was gone.
TEST(AutoRunMissingTargets, NamesTheTargetsTheOpenLeftOut) {
    TempDir dir;
    const std::string photos = dir.createDir("photos");
    const std::string backup = dir.createDir("backup");
    const std::string archive = dir.createDir("archive");
    const std::string document = dir / "job.qnrx";
    {
        CQuenrixDoc doc;
        for (const std::string& path : {photos, backup, archive})
            doc.targets.push_back(QXTarget::fromPath(path));
        ASSERT_TRUE(doc.onSaveDocument(document));
    }
    ASSERT_EQ(::rmdir(backup.c_str()), 0);
    ASSERT_EQ(::rmdir(archive.c_str()), 0);

    CQuenrixDoc doc;
    ASSERT_TRUE(doc.onOpenDocument(document));
    std::vector<std::string> opened;
    for (const QXTargetPtr& target : doc.targets) opened.push_back(target->path);
    EXPECT_EQ(opened, std::vector<std::string>{photos});
    EXPECT_EQ(QXAutoRun::missingTargets(document, opened),
              (std::vector<std::string>{backup, archive}));

    // All there, a new document, a file that is not there: nothing to name.
    EXPECT_TRUE(QXAutoRun::missingTargets(document, {photos, backup, archive}).empty());
    EXPECT_TRUE(QXAutoRun::missingTargets("", {}).empty());
    EXPECT_TRUE(QXAutoRun::missingTargets(dir / "gone.qnrx", {}).empty());
}

}  // namespace
}  // namespace quenrix
