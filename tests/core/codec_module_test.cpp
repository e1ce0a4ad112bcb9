// The codec module's loader: folders without a usable module are refused with a reason
// and nothing to call; the module the build made is found by the program's lookup.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include <opencv2/core.hpp>

#include "core/QXCodecModule.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

using test::TempDir;

TEST(CodecModule, FoldersWithoutAUsableModuleAreRefused) {
    const struct {
        const char* name;
        std::function<void(const TempDir&)> make;
    } cases[] = {
        {"no module", [](const TempDir&) {}},
        {"not a shared library",
         [](const TempDir& dir) {
             dir.createFile(kCodecModuleName,
                            "\x7f"
                            "ELF but no more");
         }},
        {"a folder by that name", [](const TempDir& dir) { dir.createDir(kCodecModuleName); }},
#ifdef QUENRIX_TAG_MODULE_DIR
        // A real shared library that exports none of the entry points.
        {"another module",
         [](const TempDir& dir) {
             std::filesystem::copy_file(std::string(QUENRIX_TAG_MODULE_DIR) + "/libtagutils.so",
                                        dir / kCodecModuleName);
         }},
#endif
    };
    for (const auto& c : cases) {
        TempDir dir;
        c.make(dir);
        QXCodecEntries entries;
        std::string error;
        EXPECT_FALSE(LoadCodecModule(dir.path(), entries, error)) << c.name;
        EXPECT_EQ(entries.decodePicture, nullptr) << c.name;
        EXPECT_EQ(entries.readVideo, nullptr) << c.name;
        EXPECT_NE(error.find(kCodecModuleName), std::string::npos) << c.name << ": " << error;
    }
}

TEST(CodecModule, TheBuiltModuleIsFoundAndSurvivesBadInput) {
    ASSERT_NE(CodecModule(), nullptr) << "libcvcodecs.so was not found";
    cv::Mat image(4, 4, CV_8UC3);
    const uint8_t junk[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0};
    EXPECT_FALSE(CodecDecodePicture(junk, sizeof junk, image));
    EXPECT_TRUE(image.empty());
    QXCodecVideo video;
    EXPECT_FALSE(CodecReadVideo("/nonexistent/video.mp4", video));
}

}  // namespace
}  // namespace quenrix
