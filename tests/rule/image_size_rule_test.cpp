// The image-size kind: the four comparisons over the tested sides, files whose size no
// decoder gives, the description, the stored keys and the dialog's input check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/PictureFixtures.h"
#include "core/QXFileInfo.h"
#include "rule/QXImageSizeRule.h"
#include "rule/QXRuleRegistry.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

class CountingHost : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo&) override { ++shown; }
    void report(int) override {}
    int shown = 0;
};

std::shared_ptr<QXImageSizeRule> makeRule(int32_t width, int32_t height, int32_t function) {
    auto rule = std::make_shared<QXImageSizeRule>();
    rule->setWidth(width);
    rule->setHeight(height);
    rule->setFunction(function);
    return rule;
}

TEST(ImageSizeRule, MatchTable) {
    using R = QXImageSizeRule;
    struct {
        int32_t width, height, function;
        int32_t imageWidth, imageHeight;
        bool expected;
    } cases[] = {
        // Width only.
        {640, 0, R::kAtLeast, 640, 10, true},
        {640, 0, R::kAtLeast, 639, 2000, false},
        {640, 0, R::kAtMost, 640, 10, true},  // both include equality
        {640, 0, R::kAtMost, 641, 1, false},
        {640, 0, R::kEqual, 640, 99, true},
        {640, 0, R::kNotEqual, 640, 99, false},
        {640, -5, R::kNotEqual, 641, 480, true},  // a negative side is untested too
        // Height only.
        {0, 480, R::kAtLeast, 1, 480, true},
        {0, 480, R::kAtLeast, 5000, 479, false},
        {0, 480, R::kAtMost, 5000, 479, true},
        // Both sides must pass, also for 一致しない.
        {640, 480, R::kNotEqual, 640, 100, false},
        {640, 480, R::kNotEqual, 100, 480, false},
        {640, 480, R::kNotEqual, 800, 600, true},
        {640, 480, R::kEqual, 640, 480, true},
        {640, 480, R::kEqual, 640, 481, false},
        {640, 480, R::kAtLeast, 641, 479, false},
        {640, 480, R::kAtMost, 640, 480, true},
        // Neither side tested: every known size.
        {0, 0, R::kEqual, 1, 1, true},
        {0, 0, R::kNotEqual, 1, 1, true},
        // A comparison the dialog never offers matches nothing.
        {0, 0, 4, 1, 1, false},
        {640, 0, -1, 640, 1, false},
    };
    for (const auto& c : cases) {
        auto rule = makeRule(c.width, c.height, c.function);
        EXPECT_EQ(rule->match(c.imageWidth, c.imageHeight), c.expected)
            << c.width << "x" << c.height << " f" << c.function << " vs " << c.imageWidth << "x"
            << c.imageHeight;
    }
}

TEST(ImageSizeRule, ApplyReadsEachPictureAndNeverMatchesOtherFiles) {
    test::TempDir dir;
    test::LogCapture log(dir);
    const std::string wide = test::writePicture(dir, "wide.png", 640, 10);
    const std::string tall = test::writePicture(dir, "tall.png", 639, 200);
    const std::string text = dir.createFile("notes.txt", "not a picture");
    const std::string empty = dir.createFile("empty.png", "");
    for (int32_t function = 0; function < QXImageSizeRule::kFunctionCount; ++function) {
        auto rule = makeRule(640, 0, function);
        QXFileList files = {QXFileInfo::fromPath(wide), QXFileInfo::fromPath(tall),
                            QXFileInfo::fromPath(text), QXFileInfo::fromPath(empty)};
        CountingHost host;
        ASSERT_TRUE(rule->apply(files, host));
        const bool wideMatches = function != QXImageSizeRule::kNotEqual;
        const bool tallMatches =
            function == QXImageSizeRule::kNotEqual || function == QXImageSizeRule::kAtMost;
        EXPECT_EQ(rule->verdict(0), wideMatches) << function;
        EXPECT_EQ(rule->verdict(1), tallMatches) << function;
        EXPECT_FALSE(rule->verdict(2)) << function;
        EXPECT_FALSE(rule->verdict(3)) << function;
        EXPECT_EQ(files[1]->imageHeight, 200);
        EXPECT_EQ(host.shown, 4);
    }
    EXPECT_TRUE(log.has(tovy::fromUtf8(text)));
}

TEST(ImageSizeRule, DecidedRecordsAreSkippedAndKnownSizesReused) {
    test::TempDir dir;
    const std::string picture = test::writePicture(dir, "a.png", 800, 600);
    QXFileInfoPtr decided = QXFileInfo::fromPath(picture);
    decided->addFlags(QXFileInfo::kDecided);
    // Known sizes are not read again: this record's file says 800 × 600.
    QXFileInfoPtr known = QXFileInfo::fromPath(picture);
    known->imageWidth = 100;
    known->imageHeight = 100;
    known->addFlags(QXFileInfo::kImageSize);
    auto rule = makeRule(0, 0, QXImageSizeRule::kAtLeast);
    CountingHost host;
    ASSERT_TRUE(rule->apply({decided, known}, host));
    EXPECT_FALSE(rule->verdict(0));
    EXPECT_FALSE(decided->hasFlag(QXFileInfo::kImageSize));
    EXPECT_TRUE(rule->verdict(1));
    EXPECT_EQ(host.shown, 1);
    auto small = makeRule(200, 0, QXImageSizeRule::kAtLeast);
    ASSERT_TRUE(small->apply({known}, host));
    EXPECT_FALSE(small->verdict(0));
}

TEST(ImageSizeRule, DescriptionTable) {
    struct {
        int32_t width, height, function;
        const wchar_t* expected;
    } cases[] = {
        {640, 480, 2, L"幅 640 高さ 480 より大きい"},
        {640, 0, 0, L"幅 640 一致"},
        {0, 480, 1, L"高さ 480 一致しない"},
        {-3, 0, 3, L"より小さい"},
        {1, 1, 7, L"幅 1 高さ 1 7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(makeRule(c.width, c.height, c.function)->description(), c.expected)
            << c.width << "x" << c.height;
    }
}

TEST(ImageSizeRule, RegistryDefaultsAndStoredKeys) {
    auto rule = std::dynamic_pointer_cast<QXImageSizeRule>(createRule(ruletype::kImageSize));
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->width(), 0);
    EXPECT_EQ(rule->height(), 0);
    EXPECT_EQ(rule->function(), QXImageSizeRule::kAtLeast);
    EXPECT_EQ(rule->kindName(), L"画像サイズ");
    EXPECT_EQ(rule->typeKey(), L"image_size");

    rule->setWidth(1920);
    rule->setHeight(-1);
    rule->setFunction(3);
    QXRulePairs pairs;
    rule->writePairs(pairs);
    QXRulePairs own(pairs.begin() + 1, pairs.begin() + 4);
    EXPECT_EQ(own, (QXRulePairs{{L"width", L"1920"}, {L"height", L"-1"}, {L"func", L"3"}}));
    auto copy = std::dynamic_pointer_cast<QXImageSizeRule>(createRule(ruletype::kImageSize));
    ASSERT_TRUE(copy->read(pairs));
    EXPECT_EQ(copy->width(), 1920);
    EXPECT_EQ(copy->height(), -1);
    EXPECT_EQ(copy->function(), 3);

    std::wstring lines;
    rule->writeLines(lines);
    EXPECT_NE(lines.find(L"width=1920\r\nheight=-1\r\nfunc=3\r\n"), std::wstring::npos) << lines;

    // Missing keys keep the defaults; numbers read as the lenient reader reads them.
    auto partial = std::dynamic_pointer_cast<QXImageSizeRule>(createRule(ruletype::kImageSize));
    ASSERT_TRUE(partial->read({{L"width", L" 640px"}}));
    EXPECT_EQ(partial->width(), 640);
    EXPECT_EQ(partial->height(), 0);
    EXPECT_EQ(partial->function(), QXImageSizeRule::kAtLeast);
}

TEST(ImageSizeRule, DialogInputCheckTable) {
    struct {
        const wchar_t* width;
        const wchar_t* height;
        const wchar_t* message;
        int32_t w, h;
    } cases[] = {
        {L"", L"480", L"画像サイズを入力してください", 0, 0},
        {L"640", L"", L"画像サイズを入力してください", 0, 0},
        {L"0", L"0", L"画像サイズを正しく入力してください", 0, 0},
        {L"000", L"00", L"画像サイズを正しく入力してください", 0, 0},
        {L"640", L"0", L"", 640, 0},
        {L"0", L"480", L"", 0, 480},
        {L"99999999999", L"1", L"", 2147483647, 1},
    };
    for (const auto& c : cases) {
        int32_t w = 0, h = 0;
        EXPECT_EQ(QXImageSizeRule::checkInput(c.width, c.height, &w, &h), c.message) << c.width;
        EXPECT_EQ(w, c.w) << c.width;
        EXPECT_EQ(h, c.h) << c.width;
    }
}

}  // namespace
}  // namespace quenrix
