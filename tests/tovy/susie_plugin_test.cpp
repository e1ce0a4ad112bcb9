// The picture plug-in host over the tests' own plug-in: loading a folder, skipping a
// plug-in without all four exports, sizes and pictures through the plug-in, the files
// it is never handed, and the plug-in bitmap layouts the host turns into bitmaps.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/PictureFixtures.h"
#include "platform/FileStat.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"
#include "tovy/support_susie/PluginManager.h"

namespace tovy::support_susie {
namespace {

using quenrix::test::TempDir;

const std::string kPluginDir = QUENRIX_TEST_PLUGIN_DIR;

std::wstring wide(const std::string& path) {
    return tovy::fromUtf8(path);
}

TEST(SusiePlugins, LoadFolderTable) {
    TempDir dir;
    dir.createFile("none/readme.txt", "x");
    dir.createDir("none/folder.sph");
    struct {
        const char* name;
        bool create;
        std::wstring folder;
        bool expected;
        size_t loaded;
    } cases[] = {
        {"plug-in folder", true, wide(kPluginDir), true, 1},
        {"with a trailing slash", true, wide(kPluginDir + "/"), true, 1},
        {"folder without plug-ins", true, wide(dir / "none"), true, 0},
        {"missing folder", true, wide(dir / "missing"), false, 0},
        {"no folder given", true, L"", false, 0},
        {"no list made", false, wide(kPluginDir), false, 0},
    };
    for (const auto& c : cases) {
        PluginManager host;
        if (c.create) EXPECT_TRUE(host.Create()) << c.name;
        EXPECT_EQ(host.LoadFolder(c.folder), c.expected) << c.name;
        EXPECT_EQ(host.pluginCount(), c.loaded) << c.name;
    }
}

TEST(SusiePlugins, OnlyPluginsWithAllFourExportsAreKept) {
    PluginManager host;
    host.Create();
    EXPECT_FALSE(host.LoadPlugin(wide(kPluginDir + "/broken.sph")));
    EXPECT_FALSE(host.LoadPlugin(wide(kPluginDir + "/missing.sph")));
    EXPECT_TRUE(host.LoadPlugin(wide(kPluginDir + "/qxpic.sph")));
    EXPECT_EQ(host.pluginPaths(), std::vector<std::wstring>{wide(kPluginDir + "/qxpic.sph")});
    host.UnloadAll();
    EXPECT_EQ(host.pluginCount(), 0u);
    // Changing the folder to one without plug-ins and back, as the options do.
    TempDir empty;
    EXPECT_TRUE(host.LoadFolder(wide(empty.path())));
    EXPECT_EQ(host.pluginCount(), 0u);
    EXPECT_TRUE(host.LoadFolder(wide(kPluginDir)));
    EXPECT_EQ(host.pluginCount(), 1u);
}

TEST(SusiePlugins, SizeAndPictureThroughThePlugin) {
    quenrix::test::TestPlugins plugins;
    PluginManager& host = pluginHost();
    TempDir dir;
    const std::string path = dir.createFile("pic.bin", quenrix::test::qxpicBytes(3, 2));
    int32_t width = 0, height = 0;
    ASSERT_TRUE(host.ReadPictureSize(wide(path), &width, &height));
    EXPECT_EQ(width, 3);
    EXPECT_EQ(height, 2);
    EXPECT_EQ(quenrix::test::TestPlugins::lastInfoLength(), 13 + 18);

    BitmapInfoHeader header;
    std::memset(&header, 0, sizeof header);
    auto bitmap = host.LoadPicture(wide(path), &header);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(header.biWidth, 3);
    EXPECT_EQ(header.biHeight, 2);  // the plug-in's bottom-up rows
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(bitmap->width, 3);
    EXPECT_EQ(bitmap->height, 2);
    // Top-down: row 1 is the file's second row.
    EXPECT_EQ(bitmap->row(1)[2 * 3 + 0], 2);
    EXPECT_EQ(bitmap->row(1)[2 * 3 + 1], 1);
    EXPECT_EQ(bitmap->row(1)[2 * 3 + 2], 7);
    EXPECT_EQ(bitmap->row(0)[2 * 3 + 1], 0);

    // Files the plug-in claims by name but has no usable picture in.
    dir.createFile("truncated.qxpic", quenrix::test::qxpicBytes(3, 2).substr(0, 20));
    EXPECT_TRUE(host.ReadPictureSize(wide(dir / "truncated.qxpic"), &width, &height));
    EXPECT_FALSE(host.LoadPicture(wide(dir / "truncated.qxpic")));
    dir.createFile("garbage.qxpic", "garbage");
    EXPECT_FALSE(host.ReadPictureSize(wide(dir / "garbage.qxpic"), &width, &height));
    EXPECT_FALSE(host.LoadPicture(wide(dir / "garbage.qxpic")));
    dir.createFile("other.txt", "QXPI");
    EXPECT_FALSE(host.FindPlugin(dir / "other.txt", reinterpret_cast<const uint8_t*>("QXPI\0\0")));
}

TEST(SusiePlugins, FilesNeverHandedToThePlugin) {
    quenrix::test::TestPlugins plugins;
    PluginManager& host = pluginHost();
    TempDir dir;
    const std::string picture = dir.createFile("real.qxpic", quenrix::test::qxpicBytes(2, 2));
    dir.createFile("empty.qxpic", "");
    ASSERT_EQ(::symlink(picture.c_str(), (dir / "link.qxpic").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo.qxpic").c_str(), 0600), 0);
    platform::FileStat recorded;
    ASSERT_TRUE(platform::statPath(picture, recorded));
    dir.createFile("replacement.qxpic", quenrix::test::qxpicBytes(2, 2));

    const int before = quenrix::test::TestPlugins::infoCalls();
    for (const char* name : {"empty.qxpic", "link.qxpic", "fifo.qxpic", "missing.qxpic"}) {
        int32_t width = -1, height = -1;
        EXPECT_FALSE(host.ReadPictureSize(wide(dir / name), &width, &height)) << name;
        EXPECT_EQ(width, -1) << name;
        EXPECT_FALSE(host.LoadPicture(wide(dir / name))) << name;
    }
    // Another file where the recorded one was.
    ASSERT_EQ(::rename((dir / "replacement.qxpic").c_str(), picture.c_str()), 0);
    int32_t width = 0, height = 0;
    EXPECT_FALSE(host.ReadPictureSize(wide(picture), &width, &height, &recorded));
    EXPECT_FALSE(host.LoadPicture(wide(picture), nullptr, &recorded));
    EXPECT_EQ(quenrix::test::TestPlugins::infoCalls(), before);
    EXPECT_TRUE(host.ReadPictureSize(wide(picture), &width, &height));
}

TEST(SusiePlugins, NoPluginsMeansNoPicture) {
    PluginManager host;
    TempDir dir;
    const std::string path = dir.createFile("pic.qxpic", quenrix::test::qxpicBytes(3, 2));
    int32_t width = 0, height = 0;
    EXPECT_FALSE(host.ReadPictureSize(wide(path), &width, &height));
    EXPECT_FALSE(host.LoadPicture(wide(path)));
    host.Create();
    EXPECT_FALSE(host.ReadPictureSize(wide(path), &width, &height));
}

// A plug-in's BITMAPINFO: the header, then `extra` (colour table or masks).
std::vector<uint8_t> dibInfo(int32_t width, int32_t height, uint16_t bpp, uint32_t compression,
                             const std::vector<uint32_t>& extra = {}, uint32_t colorsUsed = 0) {
    BitmapInfoHeader h;
    std::memset(&h, 0, sizeof h);
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bpp;
    h.biCompression = compression;
    h.biClrUsed = colorsUsed;
    std::vector<uint8_t> out(sizeof h + extra.size() * 4);
    std::memcpy(out.data(), &h, sizeof h);
    if (!extra.empty()) std::memcpy(out.data() + sizeof h, extra.data(), extra.size() * 4);
    return out;
}

TEST(SusiePlugins, PluginBitmapLayoutsTable) {
    // Two pixels wide, two rows; each case gives the rows as stored (padded to 4 bytes)
    // and the expected blue-green-red of the top-right pixel and the bottom-left one.
    struct {
        const char* name;
        std::vector<uint8_t> info;
        std::vector<uint8_t> bits;
        std::array<uint8_t, 3> topRight;
        std::array<uint8_t, 3> bottomLeft;
    } cases[] = {
        {"24-bit bottom-up",
         dibInfo(2, 2, 24, kBiRgb),
         {1, 2, 3, 4, 5, 6, 0, 0, 11, 12, 13, 14, 15, 16, 0, 0},
         {14, 15, 16},
         {1, 2, 3}},
        {"24-bit top-down",
         dibInfo(2, -2, 24, kBiRgb),
         {1, 2, 3, 4, 5, 6, 0, 0, 11, 12, 13, 14, 15, 16, 0, 0},
         {4, 5, 6},
         {11, 12, 13}},
        {"32-bit",
         dibInfo(2, -2, 32, kBiRgb),
         {1, 2, 3, 99, 4, 5, 6, 99, 7, 8, 9, 99, 10, 11, 12, 99},
         {4, 5, 6},
         {7, 8, 9}},
        {"8-bit colour table",
         dibInfo(2, -2, 8, kBiRgb, {0x00030201, 0x00060504}, 2),
         {0, 1, 0, 0, 1, 7, 0, 0},  // index 7 is beyond the table: black
         {4, 5, 6},
         {4, 5, 6}},
        {"1-bit",
         dibInfo(2, -2, 1, kBiRgb, {0x00000000, 0x00FFFFFF}),
         {0x40, 0, 0, 0, 0x80, 0, 0, 0},
         {255, 255, 255},
         {255, 255, 255}},
        {"4-bit",
         dibInfo(2, -2, 4, kBiRgb, std::vector<uint32_t>(16, 0x00102030)),
         {0x01, 0, 0, 0, 0x10, 0, 0, 0},
         {0x30, 0x20, 0x10},
         {0x30, 0x20, 0x10}},
        {"16-bit 5-5-5",
         dibInfo(2, -2, 16, kBiRgb),
         {0x00, 0x00, 0x1F, 0x00, 0x00, 0x7C, 0, 0},
         {255, 0, 0},
         {0, 0, 255}},
        {"16-bit 5-6-5 masks",
         dibInfo(2, -2, 16, kBiBitfields, {0xF800, 0x07E0, 0x001F}),
         {0x00, 0x00, 0xE0, 0x07, 0x00, 0xF8, 0, 0},
         {0, 255, 0},
         {0, 0, 255}},
    };
    for (const auto& c : cases) {
        auto bitmap = bitmapFromDib(c.info.data(), c.bits.data());
        ASSERT_TRUE(bitmap) << c.name;
        ASSERT_EQ(bitmap->width, 2) << c.name;
        ASSERT_EQ(bitmap->height, 2) << c.name;
        const uint8_t* tr = bitmap->row(0) + 3;
        const uint8_t* bl = bitmap->row(1);
        EXPECT_EQ((std::array<uint8_t, 3>{tr[0], tr[1], tr[2]}), c.topRight) << c.name;
        EXPECT_EQ((std::array<uint8_t, 3>{bl[0], bl[1], bl[2]}), c.bottomLeft) << c.name;
    }
    // Headers the host does not read.
    const uint8_t bits[16] = {};
    EXPECT_FALSE(bitmapFromDib(dibInfo(2, 2, 24, 1 /* RLE8 */).data(), bits));
    EXPECT_FALSE(bitmapFromDib(dibInfo(2, 2, 12, kBiRgb).data(), bits));
    EXPECT_FALSE(bitmapFromDib(dibInfo(0, 2, 24, kBiRgb).data(), bits));
    EXPECT_FALSE(bitmapFromDib(dibInfo(30000, 30000, 24, kBiRgb).data(), bits));
}

}  // namespace
}  // namespace tovy::support_susie
