// The ID3 rule over audio files made here with ffmpeg (MP3, FLAC, Ogg Vorbis, each with
// tags), read through the tag module built beside the program; and without the module,
// where every test is false and each examined file logs one line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/QXFileExtras.h"
#include "rule/QXID3Rule.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"
#include "tovy/TovUtf8.h"
#include "tovy/support_tag/TovTagLibHost.h"
#include "view/QXColumns.h"

#ifndef QUENRIX_TAG_MODULE_DIR
#define QUENRIX_TAG_MODULE_DIR ""
#endif

namespace quenrix {
namespace {

using tovy::support_tag::TovTagLibHost;
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

// Three seconds of a stereo tone at 44.1 kHz with every tag the rule reads.
bool makeAudio(const std::string& path, const std::string& codec) {
    const std::string command =
        "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=3:sample_rate=44100"
        " -ac 2 " +
        codec +
        " -metadata artist='Test Artist' -metadata title='夜のタイトル' -metadata album='Album'"
        " -metadata genre='Jazz' -metadata comment='Nice tune' -metadata date=2009"
        " -metadata track=7 '" +
        path + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

struct Format {
    const char* name;
    const char* codec;
};
const Format kFormats[] = {
    {"song.mp3", "-c:a libmp3lame -b:a 128k"},
    {"song.flac", "-c:a flac"},
    {"song.ogg", "-c:a libvorbis"},
};

bool verdict(int32_t property, int32_t op, const std::wstring& value, const QXFileInfoPtr& file) {
    QXID3Rule rule;
    rule.setProperty(property);
    rule.setOperator(op);
    rule.setValue(value);
    SilentHost host;
    EXPECT_TRUE(rule.apply({file}, host));
    return rule.verdict(0);
}

size_t count(const std::vector<std::wstring>& lines, const std::wstring& line) {
    return size_t(std::count(lines.begin(), lines.end(), line));
}

class Id3Rule : public testing::Test {
protected:
    void SetUp() override {
        if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed; no audio files to read";
        for (const Format& f : kFormats) {
            if (makeAudio(dir / f.name, f.codec)) {
                songs.push_back(QXFileInfo::fromPath(dir / f.name));
            } else {
                std::fprintf(stderr, "ffmpeg could not make %s; skipped\n", f.name);
            }
        }
        ASSERT_FALSE(songs.empty());
    }
    void TearDown() override { TovTagLibHost::instance().unload(); }

    test::TempDir dir;
    QXFileList songs;
};

TEST_F(Id3Rule, ReadsTagsAndPropertiesThroughTheModule) {
    ASSERT_TRUE(TovTagLibHost::instance().load(QUENRIX_TAG_MODULE_DIR))
        << "no libtagutils.so in '" << QUENRIX_TAG_MODULE_DIR << "'";
    using R = QXID3Rule;
    const struct {
        int32_t property;
        int32_t op;
        const wchar_t* value;
        bool expected;
    } cases[] = {
        {R::kChannels, Op::kEqual, L"2", true},
        {R::kBitRate, Op::kGreater, L"0", true},
        {R::kSampleRate, Op::kEqual, L"44100", true},
        {R::kTrack, Op::kEqual, L"7", true},
        {R::kYear, Op::kEqual, L"2009", true},
        {R::kYear, Op::kBefore, L"2010", false},  // numbers have no before
        {R::kLength, Op::kEqual, L"3", true},     // seconds
        {R::kArtist, Op::kEqual, L"test artist", true},
        {R::kTitle, Op::kContains, L"タイトル", true},
        {R::kAlbum, Op::kNotContains, L"album", false},
        {R::kGenre, Op::kEqual, L"JAZZ", true},
        {R::kComment, Op::kEqual, L"nice tune", true},
        {R::kComment, Op::kGreater, L"nice", true},
        {R::kPropertyCount, Op::kEqual, L"0", false},
    };
    for (const auto& song : songs) {
        for (const auto& c : cases) {
            EXPECT_EQ(verdict(c.property, c.op, c.value, song), c.expected)
                << song->nativeName() << ": property " << c.property << " op " << c.op;
        }
        const QXId3Holder& id3 = *song->extrasIfAny()->id3;
        EXPECT_TRUE(id3.ready);
        EXPECT_EQ(id3.artist, L"Test Artist") << song->nativeName();
        EXPECT_EQ(formatColumnText(kColId3Length, *song), L"0:03");
    }
}

TEST_F(Id3Rule, FilesTheModuleCannotReadFailWithTheirLine) {
    ASSERT_TRUE(TovTagLibHost::instance().load(QUENRIX_TAG_MODULE_DIR));
    test::LogCapture log(dir);
    auto text = QXFileInfo::fromPath(dir.createFile("notes.mp3", "just some text"));
    ASSERT_EQ(::symlink((dir / kFormats[0].name).c_str(), (dir / "link.mp3").c_str()), 0);
    auto link = QXFileInfo::fromPath(dir / "link.mp3");
    ASSERT_NE(link, nullptr);
    for (const auto& file : {text, link}) {
        EXPECT_FALSE(verdict(QXID3Rule::kArtist, Op::kNotContains, L"x", file))
            << file->nativeName();
        EXPECT_EQ(count(log.messages(),
                        L"TagLib: ファイルを開けませんでした. [" + file->fullPath() + L"]"),
                  1u)
            << file->nativeName();
    }
    // A column of a file already examined asks nothing again.
    EXPECT_EQ(formatColumnText(kColId3Artist, *text), L"");
    EXPECT_EQ(
        count(log.messages(), L"TagLib: ファイルを開けませんでした. [" + text->fullPath() + L"]"),
        1u);
}

TEST_F(Id3Rule, WithoutTheModuleEveryTestIsFalseWithOneLinePerFile) {
    TovTagLibHost::instance().unload();
    test::LogCapture log(dir);
    auto decided = QXFileInfo::fromPath(dir.createFile("decided.mp3", ""));
    decided->addFlags(QXFileInfo::kDecided);
    QXFileList files = songs;
    files.push_back(decided);
    for (int32_t property = 0; property < QXID3Rule::kPropertyCount; ++property) {
        for (int32_t op = 0; op < QXEvalRule::kOperatorCount; ++op) {
            QXID3Rule rule;
            rule.setProperty(property);
            rule.setOperator(op);
            rule.setValue(L"1");
            SilentHost host;
            ASSERT_TRUE(rule.apply(files, host));
            EXPECT_EQ(std::count(rule.verdicts().begin(), rule.verdicts().end(), true), 0)
                << property << " " << op;
        }
    }
    EXPECT_EQ(count(log.messages(), L"ITagLib インターフェイスの取得に失敗しました"), songs.size());
}

TEST(TagModuleHost, RefusesAFolderWithoutAUsableModule) {
    test::TempDir dir;
    TovTagLibHost& host = TovTagLibHost::instance();
    EXPECT_FALSE(host.load(dir.path()));
    dir.createFile("libtagutils.so", "not a shared object");
    EXPECT_FALSE(host.load(dir.path()));
    EXPECT_FALSE(host.loaded());
    EXPECT_EQ(host.createInstance(), nullptr);
}

}  // namespace
}  // namespace quenrix
