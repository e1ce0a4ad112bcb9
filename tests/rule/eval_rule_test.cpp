// The metadata rules' shared base and the Exif kind: the operators of each comparison
// kind, the Exif rule on JPEG files written here (names, dates, exposure values, codes,
// the two comment sources), files that are no JPEG, the once-per-record reading, the
// descriptions, and the stored form of all three kinds in pairs, lines and documents.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/QXFileExtras.h"
#include "core/QXLog.h"
#include "doc/CQuenrixDoc.h"
#include "rule/QXExifRule.h"
#include "rule/QXFileSizeRule.h"
#include "rule/QXID3Rule.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXVideoRule.h"
#include "support/JpegWriter.h"
#include "support/TempDir.h"
#include "view/QXColumns.h"

namespace quenrix {
namespace {

using test::jpegSegment;
using test::jpegWith;
using test::TiffDir;
using test::TiffWriter;

class SilentHost : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo& file) override { shown.push_back(file.fullPath()); }
    void report(int) override {}
    std::vector<std::wstring> shown;
};

using Op = QXEvalRule;

TEST(EvalRuleOperators, TextComparison) {
    const struct {
        const wchar_t* file;
        int32_t op;
        const wchar_t* given;
        bool expected;
    } cases[] = {
        {L"Canon Inc. ", Op::kContains, L"canon", true},  // case and spaces ignored
        {L"Canon Inc. ", Op::kContains, L" INC. ", true},
        {L"Canon Inc. ", Op::kNotContains, L"nikon", true},
        {L"Canon Inc. ", Op::kNotContains, L"canon", false},
        {L"Canon Inc. ", Op::kEqual, L"  canon inc.", true},
        {L"Canon Inc. ", Op::kNotEqual, L"canon", true},
        {L"abc", Op::kGreater, L"abb", true},
        {L"abc", Op::kGreaterOrEqual, L"ABC", true},
        {L"abc", Op::kLess, L"abd", true},
        {L"abc", Op::kLessOrEqual, L"abb", false},
        {L"", Op::kContains, L"", true},
        {L"2010/05/01", Op::kBefore, L"2011/01/01", false},  // no dates for texts
        {L"abc", Op::kAfterOrEqual, L"abc", false},
        {L"abc", 12, L"abc", false},
        {L"abc", -1, L"abc", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QXEvalRule::compareText(c.file, c.op, c.given), c.expected)
            << "'" << testing::PrintToString(std::wstring(c.file)) << "' op " << c.op << " '"
            << testing::PrintToString(std::wstring(c.given)) << "'";
    }
}

TEST(EvalRuleOperators, IntegerAndRealComparison) {
    const struct {
        int64_t file;
        int32_t op;
        const wchar_t* given;
        bool expected;
    } integers[] = {
        {640, Op::kEqual, L"640", true},    {640, Op::kEqual, L" 640px", true},
        {640, Op::kNotEqual, L"641", true}, {640, Op::kGreater, L"639", true},
        {640, Op::kGreater, L"640", false}, {640, Op::kGreaterOrEqual, L"640", true},
        {640, Op::kLess, L"-1", false},     {0, Op::kEqual, L"abc", true},  // no number is 0
        {640, Op::kContains, L"64", false}, {640, Op::kNotContains, L"1", false},
        {640, Op::kBefore, L"700", false},  {640, Op::kAfterOrEqual, L"1", false},
        {-1, Op::kLess, L"0", true},        {3000000000LL, Op::kGreater, L"99999999999", true},
    };
    for (const auto& c : integers) {
        EXPECT_EQ(QXEvalRule::compareInteger(c.file, c.op, c.given), c.expected)
            << c.file << " op " << c.op;
    }
    const struct {
        double file;
        int32_t op;
        const wchar_t* given;
        bool expected;
    } reals[] = {
        {28.0 / 10, Op::kEqual, L"2.8", true},  // FNumber 28/10
        {28.0 / 10, Op::kNotEqual, L"2.8", false},
        {28.0 / 10, Op::kEqual, L"2.80000001", false},
        {28.0 / 10, Op::kGreater, L"2.7", true},
        {28.0 / 10, Op::kLessOrEqual, L"2.8", true},
        {28.0 / 10, Op::kLess, L"+3", true},
        {0.0, Op::kEqual, L"f/2.8", true},  // not a number: 0
        {2.0, Op::kEqual, L"2,8", true},    // the point is always "."
        {2.0, Op::kNotEqual, L"nan", true},
        {2.0, Op::kGreater, L"nan", false},
        {2.0, Op::kContains, L"2", false},
        {2.0, Op::kBefore, L"3", false},
    };
    for (const auto& c : reals) {
        EXPECT_EQ(QXEvalRule::compareReal(c.file, c.op, c.given), c.expected)
            << c.file << " op " << c.op << " " << testing::PrintToString(std::wstring(c.given));
    }
}

TEST(EvalRuleOperators, DateTimeComparison) {
    const struct {
        const wchar_t* file;
        int32_t op;
        const wchar_t* given;
        bool expected;
    } cases[] = {
        // A date alone matches the whole local day.
        {L"2010:05:01 10:00:00", Op::kEqual, L"2010/05/01", true},
        {L"2010:05:01 00:00:00", Op::kEqual, L"2010/05/01", true},
        {L"2010:05:01 23:59:59", Op::kEqual, L"2010/05/01", true},
        {L"2010:05:02 00:00:00", Op::kEqual, L"2010/05/01", false},
        {L"2010:04:30 23:59:59", Op::kBefore, L"2010/05/01", true},
        {L"2010:05:01 23:59:59", Op::kBefore, L"2010/05/01", false},
        {L"2010:05:01 23:59:59", Op::kBeforeOrEqual, L"2010/05/01", true},
        {L"2010:05:02 00:00:00", Op::kAfter, L"2010/05/01", true},
        // With a time only the exact second matches.
        {L"2010:05:01 10:00:00", Op::kEqual, L"2010/05/01 10:00", true},
        {L"2010:05:01 10:00:30", Op::kEqual, L"2010/05/01 10:00", false},
        {L"2010:05:01 10:00:30", Op::kAfter, L"2010/05/01 10:00", true},
        {L"2010:05:01 10:00:30", Op::kNotEqual, L"2010/05/01 10:00:30", false},
        {L"2010:05:01 10:00:30", Op::kAfterOrEqual, L"2010-05-01T10:00:30", true},
        {L"2010:05:01 10:00:30", Op::kEqual, L"Sat, 01 May 2010 10:00:30", true},
        // Not a date on either side, or an operator without a meaning for dates.
        {L"2010:05:01 10:00:30", Op::kEqual, L"yesterday", false},
        {L"2010:05:01 10:00:30", Op::kNotEqual, L"yesterday", false},
        {L"garbage", Op::kNotEqual, L"2010/05/01", false},
        {L"2010:05:01 10:00:30", Op::kGreater, L"2010/05/01", false},
        {L"2010:05:01 10:00:30", Op::kContains, L"2010", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QXEvalRule::compareDateTime(c.file, c.op, c.given), c.expected)
            << testing::PrintToString(std::wstring(c.file)) << " op " << c.op << " "
            << testing::PrintToString(std::wstring(c.given));
    }
}

// Exif tags used below.
constexpr uint16_t kMakeTag = 0x010F, kModelTag = 0x0110, kSoftwareTag = 0x0131,
                   kCopyrightTag = 0x8298, kExposureTimeTag = 0x829A, kFNumberTag = 0x829D,
                   kExposureProgramTag = 0x8822, kIsoTag = 0x8827, kDateTakenTag = 0x9003,
                   kMeteringTag = 0x9207, kLightSourceTag = 0x9208, kFlashTag = 0x9209,
                   kUserCommentTag = 0x9286, kWidthTag = 0xA002, kHeightTag = 0xA003,
                   kExposureModeTag = 0xA402, kWhiteBalanceTag = 0xA403, kExifLink = 0x8769;

std::string exifApp1(const std::string& dateTaken, bool bigEndian = false) {
    TiffDir exif;
    exif.entries = {
        test::tiffRational(kExposureTimeTag, 1, 250),
        test::tiffRational(kFNumberTag, 28, 10),
        test::tiffShort(kExposureProgramTag, 3),
        test::tiffShort(kIsoTag, 100),
        test::tiffAscii(kDateTakenTag, dateTaken),
        test::tiffShort(kMeteringTag, 5),
        test::tiffShort(kLightSourceTag, 10),
        test::tiffShort(kFlashTag, 16),
        // The usual eight-byte character-code prefix, then the text.
        test::tiffBytes(kUserCommentTag, test::kTiffUndefined,
                        std::string("ASCII\0\0\0A comment", 17)),
        test::tiffLong(kWidthTag, 640),
        test::tiffLong(kHeightTag, 480),
        test::tiffShort(kExposureModeTag, 1),
        test::tiffShort(kWhiteBalanceTag, 1),
    };
    TiffDir first;
    first.entries = {test::tiffAscii(kMakeTag, "Canon Inc. "),
                     test::tiffAscii(kModelTag, "Canon EOS 5D"),
                     test::tiffAscii(kSoftwareTag, "Firmware 1.1"),
                     test::tiffAscii(kCopyrightTag, "(c) Quenrix")};
    first.subs = {test::linkedAs(kExifLink, exif)};
    return test::exifSegment(TiffWriter(bigEndian).write(first));
}

class ExifRuleFiles : public testing::Test {
protected:
    QXFileInfoPtr record(const std::string& name, const std::string& bytes) {
        auto file = QXFileInfo::fromPath(dir.createFile(name, bytes));
        EXPECT_NE(file, nullptr) << name;
        return file;
    }
    static bool verdictOf(const std::shared_ptr<QXExifRule>& rule, const QXFileInfoPtr& file) {
        SilentHost host;
        EXPECT_TRUE(rule->apply({file}, host));
        return rule->verdict(0);
    }
    static std::shared_ptr<QXExifRule> make(int32_t property, int32_t op,
                                            const std::wstring& value) {
        auto rule = std::make_shared<QXExifRule>();
        rule->setProperty(property);
        rule->setOperator(op);
        rule->setValue(value);
        return rule;
    }

    test::TempDir dir;
};

TEST_F(ExifRuleFiles, ComparesEveryPropertyOfAPhoto) {
    auto photo = record("photo.jpg", jpegWith({exifApp1("2010:05:01 10:00:00")}));
    // The same values in big-endian order, behind a JFIF segment.
    auto motorola = record("motorola.jpg", jpegWith({exifApp1("2010:05:01 10:00:00", true)}));
    using R = QXExifRule;
    const struct {
        int32_t property;
        int32_t op;
        const wchar_t* value;
        bool expected;
    } cases[] = {
        {R::kMake, Op::kContains, L"canon", true},
        {R::kMake, Op::kEqual, L"CANON INC.", true},
        {R::kMake, Op::kEqual, L"canon", false},
        {R::kModel, Op::kNotContains, L"nikon", true},
        {R::kSoftware, Op::kContains, L"firmware", true},
        {R::kCopyright, Op::kEqual, L"(c) quenrix", true},
        {R::kComment, Op::kEqual, L"ascii", true},  // the user comment ends at its zero byte
        {R::kDateTime, Op::kEqual, L"2010/05/01", true},
        {R::kDateTime, Op::kEqual, L"2010/05/01 10:00", true},
        {R::kDateTime, Op::kBefore, L"2010/05/01 10:00:01", true},
        {R::kDateTime, Op::kContains, L"2010", false},
        {R::kWidth, Op::kEqual, L"640", true},
        {R::kWidth, Op::kContains, L"100", false},  // contains never applies to numbers
        {R::kWidth, Op::kNotContains, L"100", false},
        {R::kHeight, Op::kLess, L"481", true},
        {R::kAperture, Op::kEqual, L"2.8", true},  // 28/10
        {R::kAperture, Op::kGreater, L"2.8", false},
        {R::kShutterSpeed, Op::kGreater, L"100", true},  // 1/250 s: 250
        {R::kShutterSpeed, Op::kEqual, L"250", true},
        {R::kIsoSpeed, Op::kGreaterOrEqual, L"100", true},
        {R::kExposureProgram, Op::kEqual, L"3", true},
        {R::kExposureMode, Op::kEqual, L"1", true},  // tag 0xA402
        {R::kFlash, Op::kEqual, L"16", true},
        {R::kWhiteBalance, Op::kEqual, L"1", true},  // tag 0xA403, not the light source
        {R::kLightSource, Op::kEqual, L"10", true},  // tag 0x9208
        {R::kMeteringMode, Op::kNotEqual, L"5", false},
        {R::kPropertyCount, Op::kEqual, L"0", false},  // no such property
        {-1, Op::kEqual, L"0", false},
        {R::kWidth, Op::kOperatorCount, L"640", false},  // no such operator
    };
    for (const auto& c : cases) {
        const auto rule = make(c.property, c.op, c.value);
        EXPECT_EQ(verdictOf(rule, photo), c.expected) << rule->description();
        EXPECT_EQ(verdictOf(rule, motorola), c.expected) << "big-endian: " << rule->description();
    }
}

TEST_F(ExifRuleFiles, ShootingDayAndSecond) {
    const struct {
        const char* taken;
        bool sameDay;
        bool sameSecond;
    } photos[] = {
        {"2010:05:01 10:00:00", true, true},
        {"2010:05:01 10:00:30", true, false},
        {"2010:05:01 23:59:59", true, false},
        {"2010:05:02 00:00:00", false, false},
    };
    for (const auto& p : photos) {
        auto photo = record(std::string(p.taken, 10) + std::string(p.taken + 11) + ".jpg",
                            jpegWith({exifApp1(p.taken)}));
        EXPECT_EQ(verdictOf(make(QXExifRule::kDateTime, Op::kEqual, L"2010/05/01"), photo),
                  p.sameDay)
            << p.taken;
        EXPECT_EQ(verdictOf(make(QXExifRule::kDateTime, Op::kEqual, L"2010/05/01 10:00"), photo),
                  p.sameSecond)
            << p.taken;
    }
}

TEST_F(ExifRuleFiles, CommentSegmentAfterExifWins) {
    auto photo = record("com.jpg", jpegWith({exifApp1("2010:05:01 10:00:00"),
                                             jpegSegment(0xFE, "From the COM segment")}));
    EXPECT_TRUE(verdictOf(make(QXExifRule::kComment, Op::kEqual, L"from the com segment"), photo));
    EXPECT_FALSE(verdictOf(make(QXExifRule::kComment, Op::kContains, L"ascii"), photo));
}

TEST_F(ExifRuleFiles, FilesThatAreNoJpegNeverMatch) {
    const std::string png =
        std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) + std::string(17, '\0');
    auto files = {record("picture.png", png), record("empty.jpg", ""),
                  record("text.jpg", "not a picture"),
                  // Exif, but the file ends before its image data.
                  record("cut.jpg", test::jpegStart() + exifApp1("2010:05:01 10:00:00"))};
    for (const auto& file : files) {
        for (int32_t property = 0; property < QXExifRule::kPropertyCount; ++property) {
            for (int32_t op = 0; op < QXEvalRule::kOperatorCount; ++op) {
                // Every operator that could hold for some value: not contains, not equal.
                for (const wchar_t* value : {L"", L"0", L"x"}) {
                    EXPECT_FALSE(verdictOf(make(property, op, value), file))
                        << file->nativeName() << " " << property << " " << op;
                }
            }
        }
        ASSERT_NE(file->extrasIfAny(), nullptr);
        EXPECT_FALSE(file->extrasIfAny()->exif->ready) << file->nativeName();
    }
}

TEST_F(ExifRuleFiles, EachFileIsReadOncePerRecord) {
    const std::string path = dir / "changing.jpg";
    auto photo = record("changing.jpg", jpegWith({exifApp1("2010:05:01 10:00:00")}));
    const auto rule = make(QXExifRule::kMake, Op::kContains, L"canon");
    EXPECT_TRUE(verdictOf(rule, photo));
    // The holder stays on the record: a file rewritten since is not read again.
    dir.createFile("changing.jpg", "no longer a JPEG");
    EXPECT_TRUE(verdictOf(rule, photo));
    auto fresh = QXFileInfo::fromPath(path);
    EXPECT_FALSE(verdictOf(rule, fresh));
}

TEST_F(ExifRuleFiles, ColumnsReadTheFileOnFirstNeed) {
    auto photo = record("shown.jpg", jpegWith({exifApp1("2010:05:01 10:00:00")}));
    EXPECT_EQ(formatColumnText(kColExifMake, *photo), L"Canon Inc. ");
    EXPECT_EQ(formatColumnText(kColExifShutterSpeed, *photo), L"1/250");
    EXPECT_EQ(exportColumnText(kColExifShutterSpeed, *photo, false), L"250");
    EXPECT_EQ(formatColumnText(kColExifWhiteBalance, *photo), L"マニュアル");
    EXPECT_EQ(formatColumnText(kColExifLightSource, *photo), L"曇り");
    EXPECT_EQ(formatColumnText(kColExifExposureMode, *photo), L"マニュアル露光");
    auto text = record("plain.txt", "plain");
    EXPECT_EQ(formatColumnText(kColExifMake, *text), L"");
    EXPECT_EQ(formatColumnText(kColExifWidth, *text), L"");
}

TEST_F(ExifRuleFiles, PassSkipsDecidedRecordsAndShowsTheOthers) {
    auto a = record("a.jpg", jpegWith({exifApp1("2010:05:01 10:00:00")}));
    auto b = record("b.jpg", jpegWith({exifApp1("2010:05:01 10:00:00")}));
    auto c = record("c.txt", "text");
    b->addFlags(QXFileInfo::kDecided);
    const auto rule = make(QXExifRule::kModel, Op::kContains, L"eos");
    SilentHost host;
    ASSERT_TRUE(rule->apply({a, b, c}, host));
    EXPECT_EQ(rule->verdicts(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(host.shown, (std::vector<std::wstring>{a->fullPath(), c->fullPath()}));
    // The decided record was not even read.
    EXPECT_EQ(b->extrasIfAny(), nullptr);
}

TEST(EvalRuleDescription, LabelsAndCodes) {
    auto exif = [](int32_t p, int32_t op, const wchar_t* v) {
        QXExifRule rule;
        rule.setProperty(p);
        rule.setOperator(op);
        rule.setValue(v);
        return rule.description();
    };
    using R = QXExifRule;
    EXPECT_EQ(exif(R::kExposureMode, Op::kEqual, L"1"), L"露出モード が次と一致 'マニュアル露光'");
    EXPECT_EQ(exif(R::kFlash, Op::kEqual, L"16"),
              L"フラッシュ が次と一致 'フラッシュなし、強制非発光モード'");
    EXPECT_EQ(exif(R::kFlash, Op::kEqual, L"17"), L"フラッシュ が次と一致 '17'");  // unlisted
    EXPECT_EQ(exif(R::kLightSource, Op::kNotEqual, L"255"), L"光源 が次と一致しない 'その他'");
    EXPECT_EQ(exif(R::kWhiteBalance, Op::kEqual, L"0"), L"ホワイトバランス が次と一致 'オート'");
    EXPECT_EQ(exif(R::kMeteringMode, Op::kEqual, L"スポット"), L"測光方式 が次と一致 'スポット'");
    EXPECT_EQ(exif(R::kExposureProgram, Op::kEqual, L"0"), L"露出プログラム が次と一致 '0'");
    EXPECT_EQ(exif(R::kWidth, Op::kGreater, L"16"), L"幅 が次より大きい '16'");  // no codes
    EXPECT_EQ(exif(R::kMake, Op::kContains, L"canon"), L"メーカー に次を含む 'canon'");
    EXPECT_EQ(exif(40, 30, L"x"), L"40 30 'x'");

    QXID3Rule id3;
    id3.setProperty(QXID3Rule::kArtist);
    id3.setOperator(Op::kNotContains);
    id3.setValue(L"someone");
    EXPECT_EQ(id3.description(), L"アーティスト に次を含まない 'someone'");
    QXVideoRule video;
    video.setProperty(QXVideoRule::kLength);
    video.setOperator(Op::kGreaterOrEqual);
    video.setValue(L"10");
    EXPECT_EQ(video.description(), L"長さ が次より大きい、もしくは一致 '10'");
    EXPECT_EQ(video.kindName(), L"Video");
    EXPECT_EQ(id3.kindName(), L"ID3");
}

// The settings of a rule as its pair form (group numbers left out).
std::wstring settingsOf(const QXRule& rule) {
    QXRulePairs pairs;
    rule.writePairs(pairs);
    std::wstring text;
    for (const auto& [k, v] : pairs) {
        if (k != L"group") text += k + L"=" + v + L";";
    }
    return text;
}

TEST(EvalRuleStorage, EveryKindRoundTripsInPairsAndLines) {
    const wchar_t* values[] = {L"canon", L"C:\\dir\\", L"say \"hi\"", L"\"quoted\"", L"", L"写真"};
    for (int32_t id : {ruletype::kExif, ruletype::kId3, ruletype::kVideo}) {
        for (const wchar_t* value : values) {
            auto rule = std::dynamic_pointer_cast<QXEvalRule>(createRule(id));
            ASSERT_NE(rule, nullptr) << id;
            rule->setProperty(2);
            rule->setOperator(7);
            rule->setValue(value);
            rule->setEnabled(false);

            QXRulePairs pairs;
            ASSERT_TRUE(rule->writePairs(pairs));
            ASSERT_GE(pairs.size(), 4u);
            EXPECT_EQ(pairs[0].second, rule->typeKey());
            EXPECT_EQ(pairs[1], (std::pair<std::wstring, std::wstring>(L"lhs", L"2")));
            EXPECT_EQ(pairs[2], (std::pair<std::wstring, std::wstring>(L"ope", L"7")));
            EXPECT_EQ(pairs[3].first, L"rhs");

            auto back =
                std::dynamic_pointer_cast<QXEvalRule>(createRule(ruleTypeIdOf(pairs[0].second)));
            ASSERT_NE(back, nullptr);
            ASSERT_TRUE(back->read(pairs));
            EXPECT_EQ(back->typeId(), id);
            EXPECT_EQ(back->value(), value);
            EXPECT_EQ(settingsOf(*back), settingsOf(*rule));

            // The line form, as the preset file reads it back: key=value.
            std::wstring lines;
            rule->writeLines(lines);
            QXRulePairs read;
            size_t pos = 0;
            while (pos < lines.size()) {
                const size_t end = lines.find(L"\r\n", pos);
                const std::wstring line = lines.substr(pos, end - pos);
                const size_t eq = line.find(L'=');
                read.emplace_back(line.substr(0, eq), line.substr(eq + 1));
                pos = end + 2;
            }
            EXPECT_EQ(read.front().second, rule->typeKey());
            auto fromLines = std::dynamic_pointer_cast<QXEvalRule>(createRule(id));
            ASSERT_TRUE(fromLines->read(read));
            EXPECT_EQ(settingsOf(*fromLines), settingsOf(*rule));

            auto copy = std::dynamic_pointer_cast<QXEvalRule>(rule->clone());
            EXPECT_EQ(settingsOf(*copy), settingsOf(*rule));
        }
    }
    EXPECT_EQ(ruleTypeKey(ruletype::kVideo), L"video");
    EXPECT_EQ(ruleTypeIdOf(L"video"), ruletype::kVideo);
    EXPECT_EQ(ruleTypeIdOf(L""), -1);
}

TEST(EvalRuleStorage, UnquotedValuesOfOlderFilesAreTakenAsTheyStand) {
    QXExifRule rule;
    ASSERT_TRUE(rule.read({{L"lhs", L" 13"}, {L"ope", L"2x"}, {L"rhs", L"16"}, {L"other", L"1"}}));
    EXPECT_EQ(rule.property(), 13);
    EXPECT_EQ(rule.op(), 2);
    EXPECT_EQ(rule.value(), L"16");
    QXExifRule defaults;
    ASSERT_TRUE(defaults.read({}));
    EXPECT_EQ(settingsOf(defaults), L"type=exif;lhs=0;ope=0;rhs=\"\";enable=1;group_type=0;");
}

TEST(EvalRuleStorage, VideoRuleReadsBackFromADocument) {
    test::TempDir dir;
    CQuenrixDoc doc;
    auto video = std::make_shared<QXVideoRule>();
    video->setProperty(QXVideoRule::kLength);
    video->setOperator(Op::kGreater);
    video->setValue(L"10");
    auto size = std::make_shared<QXFileSizeRule>();
    size->setSize(42);
    doc.rules = {video, size};
    const std::string path = dir / "video.qnrx";
    ASSERT_TRUE(doc.onSaveDocument(path));
    const std::string text = test::readFile(path);
    EXPECT_NE(text.find("Rule \"video\" {"), std::string::npos) << text;

    CQuenrixDoc back;
    ASSERT_TRUE(back.onOpenDocument(path));
    ASSERT_EQ(back.rules.size(), 2u);
    auto read = std::dynamic_pointer_cast<QXVideoRule>(back.rules[0]);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(settingsOf(*read), settingsOf(*video));

    // A file written without the key (an empty type) loses only the video rule.
    std::string old = text;
    old.replace(old.find("Rule \"video\""), 12, "Rule \"\"");
    FILE* f = std::fopen((dir / "old.qnrx").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(old.data(), 1, old.size(), f);
    std::fclose(f);
    CQuenrixDoc older;
    ASSERT_TRUE(older.onOpenDocument(dir / "old.qnrx"));
    ASSERT_EQ(older.rules.size(), 1u);
    EXPECT_NE(std::dynamic_pointer_cast<QXFileSizeRule>(older.rules[0]), nullptr);
    QXLog::clearQueue();
}

}  // namespace
}  // namespace quenrix
