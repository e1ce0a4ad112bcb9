// The video rule over videos made here with ffmpeg: frame size, and the length as the
// frame count over the rate rounded up (10 s at 30 frames per second is 10, 301 frames
// are 11); a reported rate of 0 never gives a length; files that are no video fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/QXFileExtras.h"
#include "rule/QXVideoReader.h"
#include "rule/QXVideoRule.h"
#include "support/TempDir.h"
#include "view/QXColumns.h"

namespace quenrix {
namespace {

using Op = QXEvalRule;

class SilentHost : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo&) override {}
    void report(int) override {}
};

bool haveFfmpeg() {
    static const bool found = std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
    return found;
}

// A 320x240 test picture at 30 frames per second, `frames` frames long.
bool makeVideo(const std::string& path, int frames) {
    const std::string command =
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=30 -frames:v " +
        std::to_string(frames) + " -c:v mpeg4 -q:v 10 '" + path + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool verdict(int32_t property, int32_t op, const std::wstring& value, const QXFileInfoPtr& file) {
    QXVideoRule rule;
    rule.setProperty(property);
    rule.setOperator(op);
    rule.setValue(value);
    SilentHost host;
    EXPECT_TRUE(rule.apply({file}, host));
    return rule.verdict(0);
}

TEST(VideoRule, SizeAndLengthOfRealVideos) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed; no videos to read";
    test::TempDir dir;
    ASSERT_TRUE(makeVideo(dir / "ten.mp4", 300));
    ASSERT_TRUE(makeVideo(dir / "longer.avi", 301));
    auto ten = QXFileInfo::fromPath(dir / "ten.mp4");
    auto longer = QXFileInfo::fromPath(dir / "longer.avi");
    using R = QXVideoRule;
    const struct {
        const QXFileInfoPtr* file;
        int32_t property;
        int32_t op;
        const wchar_t* value;
        bool expected;
    } cases[] = {
        {&ten, R::kWidth, Op::kEqual, L"320", true},
        {&ten, R::kHeight, Op::kEqual, L"240", true},
        {&ten, R::kHeight, Op::kContains, L"24", false},
        {&ten, R::kLength, Op::kEqual, L"10", true},
        {&ten, R::kLength, Op::kGreater, L"10", false},
        {&longer, R::kLength, Op::kEqual, L"11", true},  // 301 frames at 30 per second
        {&longer, R::kLength, Op::kGreaterOrEqual, L"11", true},
        {&longer, R::kWidth, Op::kLess, L"321", true},
        {&longer, R::kPropertyCount, Op::kEqual, L"0", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(verdict(c.property, c.op, c.value, *c.file), c.expected)
            << (*c.file)->nativeName() << ": property " << c.property << " op " << c.op << " "
            << testing::PrintToString(std::wstring(c.value));
    }
    const QXVideoHolder& video = *ten->extrasIfAny()->video;
    EXPECT_TRUE(video.ready);
    EXPECT_EQ(video.framesPerSecond, 30);
    EXPECT_EQ(video.frameCount, 300);

    // The columns read a record that no rule has looked at.
    auto fresh = QXFileInfo::fromPath(dir / "longer.avi");
    EXPECT_EQ(formatColumnText(kColVideoWidth, *fresh), L"320");
    EXPECT_EQ(formatColumnText(kColVideoLength, *fresh), L"0:11");
}

TEST(VideoRule, FilesThatAreNoVideoFail) {
    test::TempDir dir;
    auto text = QXFileInfo::fromPath(dir.createFile("clip.mp4", "not a video at all"));
    auto empty = QXFileInfo::fromPath(dir.createFile("empty.avi", ""));
    for (const auto& file : {text, empty}) {
        for (int32_t property = 0; property < QXVideoRule::kPropertyCount; ++property) {
            for (int32_t op = 0; op < QXEvalRule::kOperatorCount; ++op) {
                EXPECT_FALSE(verdict(property, op, L"0", file)) << file->nativeName();
            }
        }
        EXPECT_FALSE(file->extrasIfAny()->video->ready);
    }
    // A file that changed places since the search (another inode under the name) is not
    // read.
    QXVideoHolder holder;
    auto moved = QXFileInfo::fromPath(dir.createFile("moved.avi", "x"));
    moved->stat().ino += 1;
    EXPECT_FALSE(ReadVideoFile(*moved, holder));
}

TEST(VideoRule, RateZeroNeverGivesALength) {
    auto file = std::make_shared<QXFileInfo>("/nowhere/clip.mp4", platform::FileStat{});
    auto& video = file->extras().video;
    video = std::make_unique<QXVideoHolder>();
    video->ready = true;
    video->width = 640;
    video->framesPerSecond = 0;
    video->frameCount = 300;
    for (int32_t op = 0; op < QXEvalRule::kOperatorCount; ++op) {
        for (const wchar_t* value : {L"0", L"10", L"-1"}) {
            EXPECT_FALSE(verdict(QXVideoRule::kLength, op, value, file)) << op;
        }
    }
    EXPECT_TRUE(verdict(QXVideoRule::kWidth, Op::kEqual, L"640", file));
    video->framesPerSecond = 30;
    EXPECT_TRUE(verdict(QXVideoRule::kLength, Op::kEqual, L"10", file));
    video->frameCount = 301;
    EXPECT_TRUE(verdict(QXVideoRule::kLength, Op::kEqual, L"11", file));
}

}  // namespace
}  // namespace quenrix
