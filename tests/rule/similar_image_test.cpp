// The similar-image rule: its features from pictures drawn by the test, the feature
// texts and the cache, the pair pass with its groups, the picture to keep and the strict
// comparison, hard links, group numbers beside other set-level rules, and a search over a
// folder of photos with resized and re-encoded copies.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/QXFileExtras.h"
#include "core/QXHandleThread.h"
#include "core/QXTarget.h"
#include "digest/QXCacheServer.h"
#include "digest/QXDigest.h"
#include "rule/QXCheckDuplicateRule.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXSimilarImage.h"
#include "rule/QXSimilarImageRule.h"
#include "support/Recorders.h"
#include "support/TempDir.h"

namespace quenrix {
namespace {

using Features = QXImageFeatures;

class Host : public QXRuleHost {
public:
    bool cancelled() const override {
        return cancelAfter >= 0 && int(reports.size()) >= cancelAfter;
    }
    void showFile(const QXFileInfo&) override { ++shown; }
    void report(int p) override { reports.push_back(p); }
    QXCacheServer* cache() const override { return store; }
    int cancelAfter = -1;
    size_t shown = 0;
    std::vector<int> reports;
    QXCacheServer* store = nullptr;
};

// A picture of `w` × `h`: a sky-like gradient, a few rectangles in colours from the
// middle of the histogram bins (so that scaling and JPEG noise keep their bins) and a
// bright sun.
cv::Mat drawPicture(uint32_t seed, int w = 400, int h = 300) {
    std::mt19937 rng(seed);
    auto level = [&] { return 32 + 64 * int(rng() % 4); };
    auto colour = [&] { return cv::Scalar(level(), level(), level()); };
    cv::Mat image(h, w, CV_8UC3);
    const cv::Vec3b top = cv::Vec3b(uchar(level()), uchar(level()), uchar(level()));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double t = 0.6 * y / h + 0.4 * x / w;
            cv::Vec3b& px = image.at<cv::Vec3b>(y, x);
            for (int c = 0; c < 3; ++c) px[c] = uchar(top[c] * (1 - t) + 16 * t);
        }
    }
    for (int k = 0; k < 5; ++k) {
        const int x = int(rng() % uint32_t(w * 3 / 4)), y = int(rng() % uint32_t(h * 3 / 4));
        const int rw = w / 6 + int(rng() % uint32_t(w / 3));
        const int rh = h / 6 + int(rng() % uint32_t(h / 3));
        cv::rectangle(image, cv::Rect(x, y, rw, rh), colour(), cv::FILLED);
    }
    cv::circle(image, cv::Point(int(rng() % uint32_t(w)), int(rng() % uint32_t(h))), h / 5,
               cv::Scalar(240, 250, 250), cv::FILLED);
    return image;
}

cv::Mat scaled(const cv::Mat& image, double factor) {
    cv::Mat out;
    cv::resize(image, out, cv::Size(), factor, factor, cv::INTER_AREA);
    return out;
}

// Records with made-up directory entries (distinct inodes unless a test links them) and
// the pictures a test source hands out for them.
struct Fixture {
    QXFileList files;
    std::map<std::string, cv::Mat> pictures;
    int loads = 0;

    QXFileInfoPtr add(const std::string& name, const cv::Mat& picture, int64_t writeSeconds = 1000,
                      uint64_t ino = 0) {
        platform::FileStat st;
        st.dev = 1;
        st.ino = ino ? ino : files.size() + 1;
        st.writeNs = writeSeconds * 1000000000LL;
        st.attributes = 0x80;
        auto record = std::make_shared<QXFileInfo>("/pictures/" + name, st);
        record->addFlags(QXFileInfo::kMatched);
        files.push_back(record);
        pictures[record->nativePath()] = picture;
        return record;
    }
    QXImageSource source() {
        return [this](QXFileInfo& f) {
            ++loads;
            auto it = pictures.find(f.nativePath());
            return it == pictures.end() ? cv::Mat() : it->second;
        };
    }
};

std::shared_ptr<QXSimilarImageRule> makeRule(Fixture& fx, int hw = 50, int pw = 50, int rate = 95) {
    auto rule = std::make_shared<QXSimilarImageRule>();
    rule->setHistogramWeight(hw);
    rule->setPatternWeight(pw);
    rule->setMatchRate(rate);
    rule->setImageSource(fx.source());
    return rule;
}

template <class F>
std::string pattern(const QXFileList& files, F&& f) {
    std::string out;
    for (const auto& r : files) out += f(*r) ? '1' : '0';
    return out;
}
std::string verdicts(const QXRule& rule, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += rule.verdict(i) ? '1' : '0';
    return out;
}
std::string newest(const QXFileList& files) {
    return pattern(files,
                   [](const QXFileInfo& f) { return f.hasFlag(QXFileInfo::kNewestInGroup); });
}
std::vector<int32_t> groups(const QXFileList& files) {
    std::vector<int32_t> out;
    for (const auto& f : files) out.push_back(f->groupNumber);
    return out;
}

// ---- features and texts

TEST(SimilarImageFeatures, FeatureTextsRoundTripAndRefuseOtherLengths) {
    const int32_t one[] = {1};
    EXPECT_EQ(encodeFeatureText(one, 1), "AQAAAA");
    const int32_t mixed[] = {-1, 0x12345678};
    EXPECT_EQ(encodeFeatureText(mixed, 2), "/////3hWNBI");

    std::mt19937 rng(7);
    struct {
        size_t count;
        size_t chars;
    } sizes[] = {{64, 342}, {225, 1200}, {4096, 21846}};
    for (const auto& c : sizes) {
        std::vector<int32_t> values(c.count), back(c.count);
        for (auto& v : values) v = int32_t(rng());
        const std::string text = encodeFeatureText(values.data(), values.size());
        EXPECT_EQ(text.size(), c.chars) << c.count;
        ASSERT_TRUE(decodeFeatureText(text, back.data(), back.size())) << c.count;
        EXPECT_EQ(values, back) << c.count;
        // Decoding stops at the first character outside the alphabet.
        EXPECT_TRUE(decodeFeatureText(text + "=garbage", back.data(), back.size()));
        EXPECT_FALSE(decodeFeatureText(text.substr(0, text.size() - 2), back.data(), back.size()));
        EXPECT_FALSE(decodeFeatureText(text + "AAAAAA", back.data(), back.size()));
        std::string broken = text;
        broken[text.size() / 2] = '\n';
        EXPECT_FALSE(decodeFeatureText(broken, back.data(), back.size()));
    }
    int32_t v;
    EXPECT_FALSE(decodeFeatureText("", &v, 1));
}

TEST(SimilarImageFeatures, HueInWholeDegrees) {
    struct {
        int r, g, b, hue;
    } cases[] = {
        {128, 128, 128, 0},   {255, 0, 0, 0},     {255, 255, 0, 60},
        {0, 255, 0, 120},     {0, 255, 255, 180}, {0, 0, 255, 240},
        {255, 0, 255, 300},   {255, 0, 1, 0},  // 60·(0 − 1)/255 truncates toward zero
        {200, 100, 150, 330},                  // −30 wrapped
        {10, 200, 100, 148},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hueDegrees(c.r, c.g, c.b), c.hue) << c.r << "," << c.g << "," << c.b;
    }
}

TEST(SimilarImageFeatures, HistogramAndPatternOfDrawnPictures) {
    // Left half white, right half black, at two sizes: the same features.
    for (int side : {120, 240, 480}) {
        cv::Mat image(side, side, CV_8UC3, cv::Scalar(0, 0, 0));
        image(cv::Rect(0, 0, side * 64 / 120, side)).setTo(cv::Scalar(255, 255, 255));
        Features::Histogram h;
        Features::Pattern p;
        ASSERT_TRUE(computeImageFeatures(image, h, p)) << side;
        EXPECT_EQ(h[0] + h[63], 14400) << side;
        EXPECT_EQ(h[63], 64 * 120) << side;
        for (size_t cy = 0; cy < 15; ++cy) {
            for (size_t cx = 0; cx < 15; ++cx) EXPECT_EQ(p[cy * 15 + cx], cx < 8 ? 1 : 0) << side;
        }
    }
    // One colour: one bin (b/64·16 + g/64·4 + r/64).
    cv::Mat solid(50, 70, CV_8UC3, cv::Scalar(200, 100, 20));  // B, G, R
    Features::Histogram h;
    Features::Pattern p;
    ASSERT_TRUE(computeImageFeatures(solid, h, p));
    EXPECT_EQ(h[3 * 16 + 1 * 4 + 0], 14400);

    Features::StrictHistograms colour, hue;
    ASSERT_TRUE(computeStrictHistograms(solid, colour, hue));
    const int solidHue = hueDegrees(20, 100, 200);
    for (size_t block = 0; block < 64; ++block) {
        EXPECT_EQ(colour[block * 64 + 52], 256);
        EXPECT_EQ(hue[block * 64 + size_t(solidHue / 6)], 256);
    }
    // Nothing for what is no 8-bit colour picture.
    EXPECT_FALSE(computeImageFeatures(cv::Mat(), h, p));
    EXPECT_FALSE(computeImageFeatures(cv::Mat(10, 10, CV_8UC1, cv::Scalar(3)), h, p));
    EXPECT_FALSE(computeStrictHistograms(cv::Mat(), colour, hue));
}

TEST(SimilarImageFeatures, SimilarityAndItsWeights) {
    Features a, b;
    a.histogram.fill(0);
    a.histogram[0] = 14400;
    b.histogram.fill(0);
    b.histogram[0] = 7200;
    b.histogram[1] = 7200;
    b.pattern[0] = 1;  // 224 of 225 cells equal
    struct {
        float hw, pw;
        float want;
    } cases[] = {
        {0.5f, 0.5f, 0.5f * 0.5f + 224.0f / 225.0f * 0.5f},
        {1.0f, 1.0f, 0.5f + 224.0f / 225.0f},
        {0.0f, 0.0f, 0.0f},
        {1.0f, 0.0f, 0.5f},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(similarity(a, b, {c.hw, c.pw, 0}), c.want) << c.hw << " " << c.pw;
    }
    EXPECT_EQ(similarity(a, a, {1.0f, 1.0f, 0}), 2.0f);  // s can reach 2
    EXPECT_EQ(similarity(a, a, {0.5f, 0.5f, 0}), 1.0f);
    // H is taken against A's sum.
    EXPECT_FLOAT_EQ(similarity(b, a, {1.0f, 0.0f, 0}), 0.5f);
}

// ---- rule text, defaults

TEST(SimilarImageRule, DefaultsTextsAndClone) {
    auto rule = std::dynamic_pointer_cast<QXSimilarImageRule>(createRule(ruletype::kSimilarImage));
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->typeId(), 16);
    EXPECT_EQ(rule->priority(), 12);
    EXPECT_EQ(rule->kindName(), L"類似画像");
    EXPECT_EQ(rule->description(),
              L"類似画像：ヒストグラムウェイト:50, パターンマッチウェイト:50, 一致率:95");
    EXPECT_FALSE(rule->strict());
    EXPECT_EQ(rule->strictAction(), QXSimilarImageRule::kSelect);

    rule->setHistogramWeight(70);
    rule->setPatternWeight(-5);
    rule->setMatchRate(88);
    rule->setStrict(true);
    rule->setStrictAction(0);
    QXRulePairs pairs;
    rule->writePairs(pairs);
    const QXRulePairs want = {
        {L"type", L"similar_image"}, {L"histWeight", L"70"}, {L"patternWeight", L"-5"},
        {L"matchRate", L"88"},       {L"strict", L"1"},      {L"strictAction", L"0"},
        {L"enable", L"1"},           {L"group", L"0"},       {L"group_type", L"0"}};
    EXPECT_EQ(pairs, want);
    std::wstring lines;
    rule->writeLines(lines);
    EXPECT_EQ(lines,
              L"type=similar_image\r\nhistWeight=70\r\npatternWeight=-5\r\nmatchRate=88\r\n"
              L"strict=1\r\nstrictAction=0\r\ntype=similar_image\r\nenable=1\r\ngroup=0\r\n"
              L"group_type=0\r\n");

    auto back = std::make_shared<QXSimilarImageRule>();
    ASSERT_TRUE(back->read(pairs));
    EXPECT_EQ(back->description(), rule->description());
    EXPECT_TRUE(back->strict());
    EXPECT_EQ(back->strictAction(), 0);

    // "strict" is on only for exactly 1.
    for (const wchar_t* value : {L"2", L"yes", L"", L"-1"}) {
        auto r = std::make_shared<QXSimilarImageRule>();
        r->setStrict(true);
        ASSERT_TRUE(r->read({{L"strict", value}}));
        EXPECT_FALSE(r->strict()) << value;
    }

    auto copy = std::dynamic_pointer_cast<QXSimilarImageRule>(rule->clone());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->description(), rule->description());
    EXPECT_EQ(copy->strict(), true);
    EXPECT_EQ(copy->strictAction(), 0);
    EXPECT_EQ(rule->cacheTags(),
              (std::vector<std::string>{"image_feature_hist", "image_feature_pattern"}));
}

// ---- the pass

TEST(SimilarImageRule, ThreeSimilarPicturesKeepTheLargest) {
    Fixture fx;
    const cv::Mat photo = drawPicture(502, 1024, 768);
    fx.add("a.png", scaled(photo, 800.0 / 1024));
    fx.add("b.png", photo);
    fx.add("c.png", scaled(photo, 640.0 / 1024));
    fx.add("other.png", drawPicture(99));
    auto rule = makeRule(fx);
    Host host;
    ASSERT_TRUE(rule->apply(fx.files, host));
    EXPECT_EQ(verdicts(*rule, 4), "1110");
    EXPECT_EQ(newest(fx.files), "0100");
    EXPECT_EQ(groups(fx.files), (std::vector<int32_t>{1, 1, 1, 0}));
    EXPECT_EQ(fx.files[1]->imageWidth, 1024);
    EXPECT_EQ(fx.files[0]->imageHeight, 600);
    // The picture without partner loses its matched mark; the partners keep theirs.
    EXPECT_EQ(
        pattern(fx.files, [](const QXFileInfo& f) { return f.hasFlag(QXFileInfo::kMatched); }),
        "1110");
    EXPECT_EQ(
        pattern(fx.files, [](const QXFileInfo& f) { return f.hasFlag(QXFileInfo::kSimilarWork1); }),
        "1110");
    EXPECT_EQ(host.reports.back(), 100);
    EXPECT_EQ(host.reports.front(), 12);  // 100·1/8
}

TEST(SimilarImageRule, EqualSizesKeepTheStrictlyNewer) {
    Fixture fx;
    const cv::Mat photo = drawPicture(3);
    fx.add("a.png", photo, 2000);
    fx.add("b.png", photo, 3000);
    fx.add("c.png", photo, 3000);
    auto rule = makeRule(fx);
    Host host;
    ASSERT_TRUE(rule->apply(fx.files, host));
    EXPECT_EQ(verdicts(*rule, 3), "111");
    EXPECT_EQ(newest(fx.files), "010");
}

TEST(SimilarImageRule, WeightsAndRatesTable) {
    struct {
        const char* name;
        int hw, pw, rate;
        const char* verdicts;
    } cases[] = {
        {"defaults group only the copies", 50, 50, 95, "1100"},
        {"both weights 0 reach no positive rate", 0, 0, 95, "0000"},
        {"rate 0 matches every pair with features", 0, 0, 0, "1110"},
        {"weights 100 + 100 reach 2", 100, 100, 200, "1100"},
        {"nothing reaches above 2", 100, 100, 201, "0000"},
    };
    for (const auto& c : cases) {
        Fixture fx;
        const cv::Mat photo = drawPicture(5);
        fx.add("a.png", photo);
        fx.add("b.png", photo);
        fx.add("c.png", drawPicture(6));
        fx.add("text.txt", cv::Mat());  // no decoder reads it
        auto rule = makeRule(fx, c.hw, c.pw, c.rate);
        Host host;
        ASSERT_TRUE(rule->apply(fx.files, host)) << c.name;
        EXPECT_EQ(verdicts(*rule, 4), c.verdicts) << c.name;
        EXPECT_FALSE(fx.files[3]->hasFlag(QXFileInfo::kMatched)) << c.name;
    }
}

TEST(SimilarImageRule, HardLinksAndDecidedRecordsAreNeverGrouped) {
    Fixture fx;
    const cv::Mat photo = drawPicture(8);
    fx.add("a.png", photo, 1000, 50);
    fx.add("link-of-a.png", photo, 1000, 50);  // same device and inode
    fx.add("decided.png", photo);
    fx.files[2]->addFlags(QXFileInfo::kDecided);
    auto rule = makeRule(fx);
    Host host;
    ASSERT_TRUE(rule->apply(fx.files, host));
    EXPECT_EQ(verdicts(*rule, 3), "000");
    EXPECT_EQ(groups(fx.files), (std::vector<int32_t>{0, 0, 0}));
    EXPECT_EQ(fx.loads, 1);  // neither the link nor the decided record was decoded

    fx.add("copy.png", photo);
    Host again;
    auto second = makeRule(fx);
    ASSERT_TRUE(second->apply(fx.files, again));
    EXPECT_EQ(verdicts(*second, 4), "1001");
    EXPECT_EQ(groups(fx.files), (std::vector<int32_t>{1, 0, 0, 1}));
}

// A grade-1 pair whose blocks differ: two halves of two colours, with one block of each
// half swapped, so that the global histogram stays and the pattern differs a little.
std::pair<cv::Mat, cv::Mat> blockSwappedPair() {
    const cv::Scalar red(32, 32, 224), cyan(224, 224, 96);  // far apart in grey as well
    cv::Mat a(256, 256, CV_8UC3, red);
    a(cv::Rect(128, 0, 128, 256)).setTo(cyan);
    cv::Mat b = a.clone();
    b(cv::Rect(0, 0, 32, 32)).setTo(cyan);
    b(cv::Rect(224, 224, 32, 32)).setTo(red);
    return {a, b};
}

TEST(SimilarImageRule, StrictComparisonRejectsOrSelects) {
    const auto [a, b] = blockSwappedPair();
    {
        Features fa, fb;
        ASSERT_TRUE(computeImageFeatures(a, fa.histogram, fa.pattern));
        ASSERT_TRUE(computeImageFeatures(b, fb.histogram, fb.pattern));
        const float s = similarity(fa, fb, {0.5f, 0.5f, 0.95f});
        ASSERT_GE(s, 0.95f);
        ASSERT_LT(s, 0.99f);  // grade 1
    }
    struct {
        const char* name;
        bool strict;
        int32_t action;
        const char* verdicts;
        const char* newest;
    } cases[] = {
        {"not strict: one picture kept", false, 1, "11", "10"},
        {"strict, 拒否: the pair is rejected", true, 0, "00", "00"},
        {"strict, 選択: grouped, both protected", true, 1, "11", "11"},
    };
    for (const auto& c : cases) {
        Fixture fx;
        fx.add("a.png", a);
        fx.add("b.png", b);
        auto rule = makeRule(fx);
        rule->setStrict(c.strict);
        rule->setStrictAction(c.action);
        Host host;
        ASSERT_TRUE(rule->apply(fx.files, host)) << c.name;
        EXPECT_EQ(verdicts(*rule, 2), c.verdicts) << c.name;
        EXPECT_EQ(newest(fx.files), c.newest) << c.name;
        // The uncertain mark is transient, the strict histograms are released.
        for (const auto& f : fx.files) {
            EXPECT_FALSE(f->hasFlag(QXFileInfo::kSimilarWork2)) << c.name;
            EXPECT_FALSE(featuresOf(*f)->hasStrict()) << c.name;
        }
    }
    // Two copies match each other even with strict on (grade 2: no strict test).
    Fixture fx;
    fx.add("a.png", a);
    fx.add("a-copy.png", a);
    auto rule = makeRule(fx);
    rule->setStrict(true);
    rule->setStrictAction(0);
    Host host;
    ASSERT_TRUE(rule->apply(fx.files, host));
    EXPECT_EQ(verdicts(*rule, 2), "11");
    EXPECT_EQ(fx.loads, 2);  // decoded once each, never for strict histograms
}

TEST(SimilarImageRule, GroupNumbersBesideOtherSetLevelRules) {
    Fixture fx;
    const cv::Mat p1 = drawPicture(11), p2 = drawPicture(12);
    fx.add("a1.png", p1);
    fx.add("b1.png", p2);
    fx.add("a2.png", p1);
    fx.add("b2.png", p2);
    fx.add("lonely.png", drawPicture(13));
    Host host;
    // A duplicate rule ran before and took numbers 0 and 1 (on other records).
    host.takeGroupNumber();
    host.takeGroupNumber();
    auto rule = makeRule(fx);
    ASSERT_TRUE(rule->apply(fx.files, host));
    EXPECT_EQ(groups(fx.files), (std::vector<int32_t>{2, 3, 2, 3, 0}));
    EXPECT_EQ(host.nextGroupNumber(), 4);

    // From a fresh search the groups never take 0, which means "no group".
    Fixture fy;
    fy.add("a.png", p1);
    fy.add("b.png", p1);
    Host fresh;
    ASSERT_TRUE(makeRule(fy)->apply(fy.files, fresh));
    EXPECT_EQ(groups(fy.files), (std::vector<int32_t>{1, 1}));
    EXPECT_EQ(fresh.takeGroupNumber(), 2);
}

TEST(SimilarImageRule, SecondRuleMergesGroupsInsteadOfSweepingRecordsIn) {
    Fixture fx;
    const cv::Mat p = drawPicture(21);
    fx.add("a.png", p);
    fx.add("b.png", p);
    fx.add("c.png", drawPicture(22));
    fx.add("d.png", drawPicture(23));
    Host host;
    auto first = makeRule(fx);
    ASSERT_TRUE(first->apply(fx.files, host));
    EXPECT_EQ(groups(fx.files), (std::vector<int32_t>{1, 1, 0, 0}));
    // A second rule of the same search that finds c like a: the group of a and b takes c
    // in under a new number; d, outside every group, is left alone.
    fx.pictures["/pictures/c.png"] = p;
    fx.files[2]->extras().features.reset();
    auto second = makeRule(fx);
    ASSERT_TRUE(second->apply(fx.files, host));
    EXPECT_EQ(verdicts(*second, 4), "1110");
    const auto g = groups(fx.files);
    EXPECT_NE(g[0], 0);
    EXPECT_EQ(g[1], g[0]);
    EXPECT_EQ(g[2], g[0]);
    EXPECT_EQ(g[3], 0);
    EXPECT_NE(g[0], 1);  // a new number of the search
}

TEST(SimilarImageRule, CancellingEndsWithFalseVerdicts) {
    // Four records: the feature pass reports 12, 25, 37, 50, the pair pass 62 ... 100.
    for (int after : {1, 5, 7}) {
        Fixture fx;
        const cv::Mat p = drawPicture(31);
        for (int i = 0; i < 4; ++i) fx.add("p" + std::to_string(i) + ".png", p);
        auto rule = makeRule(fx);
        Host host;
        host.cancelAfter = after;
        EXPECT_FALSE(rule->apply(fx.files, host)) << after;
        EXPECT_EQ(verdicts(*rule, 4), "0000") << after;
        for (const auto& f : fx.files) EXPECT_FALSE(f->hasFlag(QXFileInfo::kSimilarWork2));
    }
}

TEST(SimilarImageRule, FeaturesOnThePoolEqualASerialRun) {
    Fixture fx;
    for (uint32_t i = 0; i < 40; ++i)
        fx.add("p" + std::to_string(i) + ".png", drawPicture(100 + i, 200 + int(i), 150));
    auto rule = makeRule(fx);
    Host host;
    ASSERT_TRUE(rule->apply(fx.files, host));
    for (const auto& f : fx.files) {
        Features serial;
        ASSERT_TRUE(
            computeImageFeatures(fx.pictures[f->nativePath()], serial.histogram, serial.pattern));
        const Features* made = featuresOf(*f);
        ASSERT_TRUE(made && made->ready);
        EXPECT_EQ(made->histogram, serial.histogram) << f->nativePath();
        EXPECT_EQ(made->pattern, serial.pattern) << f->nativePath();
    }
    EXPECT_EQ(host.shown, 40u);
}

TEST(SimilarImageRule, FeatureTextsInTheCache) {
    test::TempDir dir;
    QXCacheServer cache;
    ASSERT_TRUE(cache.open(dir.path()));
    const auto [a, b] = blockSwappedPair();

    auto run = [&](Fixture& fx, bool strict) {
        auto rule = makeRule(fx);
        rule->setStrict(strict);
        Host host;
        host.store = &cache;
        EXPECT_TRUE(rule->apply(fx.files, host));
        return verdicts(*rule, fx.files.size());
    };
    auto fixture = [&] {
        Fixture fx;
        fx.add("a.png", a);
        fx.add("b.png", b);
        return fx;
    };

    Fixture first = fixture();
    EXPECT_EQ(run(first, true), "11");
    EXPECT_EQ(first.loads, 4);  // features, then strict histograms, of each
    const std::string stamp = digestCacheStamp(first.files[0]->stat());
    for (const char* tag : {featuretag::kHistogram, featuretag::kPattern, featuretag::kStrictColour,
                            featuretag::kStrictHue}) {
        const auto row = cache.lookup("/pictures/a.png", tag);
        EXPECT_TRUE(row.found) << tag;
        EXPECT_EQ(row.stamp, stamp) << tag;
    }
    EXPECT_EQ(cache.lookup("/pictures/a.png", featuretag::kHistogram).content,
              encodeFeatureText(featuresOf(*first.files[0])->histogram.data(), 64));

    // New records: everything comes from the cache, nothing is decoded.
    Fixture second = fixture();
    EXPECT_EQ(run(second, true), "11");
    EXPECT_EQ(second.loads, 0);
    EXPECT_EQ(featuresOf(*second.files[1])->histogram, featuresOf(*first.files[1])->histogram);

    // Histogram and pattern alone are enough when no strict comparison runs.
    cache.store("/pictures/a.png", featuretag::kStrictHue, "", stamp);
    Fixture third = fixture();
    EXPECT_EQ(run(third, false), "11");
    EXPECT_EQ(third.loads, 0);

    // A text of the wrong length, damaged values or another stamp: made again.
    cache.store("/pictures/a.png", featuretag::kPattern, "AAAA", stamp);
    std::vector<int32_t> bad(64, 0);
    bad[0] = -5;
    cache.store("/pictures/b.png", featuretag::kHistogram, encodeFeatureText(bad.data(), 64),
                stamp);
    Fixture fourth = fixture();
    EXPECT_EQ(run(fourth, false), "11");
    EXPECT_EQ(fourth.loads, 2);
    Fixture fifth = fixture();
    for (auto& f : fifth.files) f->stat().writeNs += 3600LL * 1000000000LL;
    EXPECT_EQ(run(fifth, false), "11");
    EXPECT_EQ(fifth.loads, 2);
}

// ---- differential: the rule against the plain pass over the integer arrays

struct Plain {
    std::vector<int32_t> group;
    std::vector<bool> verdict, newest, matched;
};

// The pass written out directly: every pair, the sums over the int arrays, the joining
// rules, the picture to keep (no strict test), the numbering.
Plain plainPass(const std::vector<Features>& f, const std::vector<bool>& ready,
                const std::vector<bool>& decided, const std::vector<int64_t>& size,
                const std::vector<int64_t>& written, float hw, float pw, float rate) {
    const size_t n = f.size();
    Plain out{std::vector<int32_t>(n, 0), std::vector<bool>(n, false), std::vector<bool>(n, false),
              std::vector<bool>(n, true)};
    std::vector<int32_t>& g = out.group;
    int32_t next = -1;
    for (size_t a = 0; a < n; ++a) {
        if (decided[a]) continue;
        long last = -1;
        for (size_t b = a + 1; b < n; ++b) {
            if (decided[b] || !ready[a] || !ready[b]) continue;
            // Raw pointers: the loop runs unoptimised in the debug build.
            const int32_t* ha = f[a].histogram.data();
            const int32_t* hb = f[b].histogram.data();
            const int32_t* pa = f[a].pattern.data();
            const int32_t* pb = f[b].pattern.data();
            int64_t minSum = 0, sumA = 0;
            for (int i = 0; i < 64; ++i) {
                minSum += ha[i] < hb[i] ? ha[i] : hb[i];
                sumA += ha[i];
            }
            int equal = 0;
            for (int i = 0; i < 225; ++i) equal += pa[i] == pb[i];
            const float h = float(minSum) / float(sumA);
            const float p = float(equal) / 225.0f;
            const float s = h * hw + p * pw;
            if (!(s >= rate)) continue;
            if (g[a] < 0 && g[b] == 0) {
                g[b] = g[a];
            } else if (g[a] == 0 && g[b] < 0) {
                g[a] = g[b];
            } else if (g[a] == 0 && g[b] == 0) {
                g[a] = g[b] = next;
            } else {
                const int32_t from = g[b];
                for (auto& x : g) {
                    if (x == from) x = g[a];
                }
            }
            last = long(b);
        }
        if (last >= 0) {
            size_t choice = a;
            for (size_t j = a; j <= size_t(last); ++j) {
                if (g[j] != g[a]) continue;
                out.newest[j] = false;
                if (j > a && (size[j] > size[choice] ||
                              (size[j] == size[choice] && written[j] > written[choice])))
                    choice = j;
            }
            out.newest[choice] = true;
            --next;
        } else if (g[a] == 0) {
            out.matched[a] = false;
        }
    }
    std::map<int32_t, int32_t> numbers;
    for (size_t i = 0; i < n; ++i) {
        if (g[i] >= 0) continue;
        if (!numbers.count(g[i])) numbers[g[i]] = int32_t(numbers.size()) + 1;
        g[i] = numbers[g[i]];
        out.verdict[i] = true;
    }
    return out;
}

TEST(SimilarImageRule, PackedPassGivesThePlainGroups) {
    struct {
        int hw, pw, rate;
        bool wide;  // a value outside the packed range sends the table the plain way
    } cases[] = {
        {50, 50, 95, false},   {70, 30, 90, false}, {100, 100, 190, false}, {0, 100, 97, false},
        {-20, 120, 80, false}, {50, 50, 0, false},  {50, 50, 95, true},     {30, 80, 99, true},
    };
    for (uint32_t seed = 1; seed <= 2; ++seed) {
        for (const auto& c : cases) {
            std::mt19937 rng(seed * 1000 + uint32_t(c.hw + c.rate));
            const size_t n = 200;
            std::vector<Features> protos(12);
            for (auto& p : protos) {
                p.histogram.fill(0);
                for (int k = 0; k < 14400; ++k)
                    ++p.histogram[rng() % 6 == 0 ? rng() % 64 : rng() % 8];
                for (auto& cell : p.pattern) cell = int32_t(rng() % 2);
            }
            std::vector<Features> f(n);
            std::vector<bool> ready(n), decided(n);
            std::vector<int64_t> size(n), written(n);
            Fixture fx;
            for (size_t i = 0; i < n; ++i) {
                f[i].histogram = protos[rng() % protos.size()].histogram;
                f[i].pattern = protos[rng() % 3 == 0 ? 0 : rng() % protos.size()].pattern;
                for (int k = int(rng() % 300); k > 0; --k) {
                    const size_t from = rng() % 64, to = rng() % 64;
                    if (f[i].histogram[from] > 0) --f[i].histogram[from], ++f[i].histogram[to];
                }
                for (int k = int(rng() % 14); k > 0; --k) f[i].pattern[rng() % 225] ^= 1;
                ready[i] = rng() % 20 != 0;
                decided[i] = rng() % 25 == 0;
                size[i] = int64_t(rng() % 4) * 100;
                written[i] = int64_t(rng() % 3);
                auto record = fx.add("r" + std::to_string(i), cv::Mat(), written[i]);
                record->imageWidth = int32_t(size[i]);
                record->imageHeight = 0;
                record->addFlags(QXFileInfo::kImageSize);
                if (decided[i]) record->addFlags(QXFileInfo::kDecided);
                auto made = std::make_shared<Features>();
                made->histogram = f[i].histogram;
                made->pattern = f[i].pattern;
                made->ready = ready[i];
                record->extras().features = made;
            }
            if (c.wide) {
                f[5].histogram[0] += 40000;
                featuresOf(*fx.files[5])->histogram[0] += 40000;
            }
            auto rule = makeRule(fx, c.hw, c.pw, c.rate);
            Host host;
            ASSERT_TRUE(rule->apply(fx.files, host));
            const Plain want = plainPass(f, ready, decided, size, written, float(c.hw) / 100.0f,
                                         float(c.pw) / 100.0f, float(c.rate) / 100.0f);
            const std::string label = "seed " + std::to_string(seed) + " weights " +
                                      std::to_string(c.hw) + "/" + std::to_string(c.pw) + "/" +
                                      std::to_string(c.rate) + (c.wide ? " wide" : "");
            size_t grouped = 0;
            for (size_t i = 0; i < n; ++i) {
                const QXFileInfo& r = *fx.files[i];
                ASSERT_EQ(r.groupNumber, want.group[i]) << label << " record " << i;
                ASSERT_EQ(rule->verdict(i), want.verdict[i]) << label << " record " << i;
                if (want.verdict[i]) {
                    ++grouped;
                    ASSERT_EQ(r.hasFlag(QXFileInfo::kNewestInGroup), want.newest[i])
                        << label << " record " << i;
                }
                if (!decided[i]) {
                    ASSERT_EQ(r.hasFlag(QXFileInfo::kMatched), want.matched[i])
                        << label << " record " << i;
                }
            }
            EXPECT_GT(grouped, 0u) << label;
            EXPECT_EQ(fx.loads, 0) << label;
        }
    }
}

// ---- a search over a folder of photos

TEST(SimilarImageSearch, GroupsEachPhotoWithItsCopiesAndNeverAHardLink) {
    test::TempDir dir;
    const int photos = 4;
    std::map<std::string, int> photoOf;
    for (int i = 0; i < photos; ++i) {
        const cv::Mat photo = drawPicture(500 + uint32_t(i), 640, 480);
        const std::string base = "photo" + std::to_string(i);
        dir.createDir("originals");
        dir.createDir("copies/small");
        const std::string original = dir / ("originals/" + base + ".png");
        ASSERT_TRUE(cv::imwrite(original, photo));
        photoOf[original] = i;
        const std::string half = dir / ("copies/small/" + base + "_half.jpg");
        ASSERT_TRUE(cv::imwrite(half, scaled(photo, 0.5), {cv::IMWRITE_JPEG_QUALITY, 70}));
        photoOf[half] = i;
        const std::string reencoded = dir / ("copies/" + base + "_q60.jpg");
        ASSERT_TRUE(cv::imwrite(reencoded, photo, {cv::IMWRITE_JPEG_QUALITY, 60}));
        photoOf[reencoded] = i;
    }
    const std::string link = dir / "originals/photo0_link.png";
    photoOf[link] = 0;
    ASSERT_EQ(::link((dir / "originals/photo0.png").c_str(), link.c_str()), 0);
    dir.createFile("notes.txt", "not a picture");

    QXSearchParams params;
    params.targets.push_back(QXTarget::fromPath(dir.path()));
    params.includeSubfolders = true;
    params.rules.push_back(std::make_shared<QXSimilarImageRule>());
    test::RecordingSink sink;
    QXHandleThread worker(std::move(params), sink, nullptr);
    worker.setProtectedFolders({});
    ASSERT_TRUE(worker.search());

    std::map<int, std::set<int32_t>> numbersOfPhoto;
    std::map<int, int> kept;
    size_t matched = 0;
    for (const auto& f : worker.matchList()) {
        ++matched;
        ASSERT_TRUE(photoOf.count(f->nativePath())) << f->nativePath();
        const int photo = photoOf[f->nativePath()];
        numbersOfPhoto[photo].insert(f->groupNumber);
        if (f->hasFlag(QXFileInfo::kNewestInGroup)) {
            ++kept[photo];
            EXPECT_EQ(f->imageWidth, 640) << f->nativePath();  // the largest is kept
        }
    }
    EXPECT_EQ(matched, size_t(photos * 3));
    std::set<int32_t> all;
    for (int i = 0; i < photos; ++i) {
        ASSERT_EQ(numbersOfPhoto[i].size(), 1u) << "photo " << i;
        EXPECT_GT(*numbersOfPhoto[i].begin(), 0);
        all.insert(*numbersOfPhoto[i].begin());
        EXPECT_GE(kept[i], 1) << "photo " << i;
    }
    EXPECT_EQ(all.size(), size_t(photos));
    // One of the two names of photo0.png takes part, the other never does.
    int grouped = 0;
    for (const auto& f : worker.fileList()) {
        if (f->nativePath() == link || f->nativePath() == dir / "originals/photo0.png")
            grouped += f->groupNumber != 0;
    }
    EXPECT_EQ(grouped, 1);
}

}  // namespace
}  // namespace quenrix
