// The features of the similar-image rule and the comparison of two pictures by them.
//
// A picture's features are a 64-bin colour histogram and a 15 × 15 black-and-white
// pattern, both made from a 120 × 120 reduction; a strict comparison adds, per 8 × 8
// block of a 128 × 128 reduction, a colour and a hue histogram. They are kept on the file
// record (QXFileExtras::features) and, when the cache is on, in the cache store as texts
// of the little-endian values in a 64-character alphabet.
//
// QXSimilarityTable packs the features of one search (pattern bits, 16-bit histograms)
// so that the pair pass compares a record with every later one at a few nanoseconds a
// pair; its results are exactly those of the plain definition (similarity()).
//
// Thread safety: the free functions keep no state and may run on several threads for
// different records; a record's features are touched by one thread at a time. A table is
// read-only after construction and may be read by several threads at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <opencv2/core.hpp>

namespace quenrix {

class QXFileInfo;
class QXCacheServer;

struct QXImageFeatures {
    static constexpr size_t kHistogramBins = 64;
    static constexpr size_t kPatternSide = 15;
    static constexpr size_t kPatternCells = kPatternSide * kPatternSide;  // 225
    static constexpr size_t kStrictBlocks = 64;                           // 8 × 8
    static constexpr size_t kStrictValues = kStrictBlocks * kHistogramBins;

    using Histogram = std::array<int32_t, kHistogramBins>;
    using Pattern = std::array<int32_t, kPatternCells>;
    // Block after block, row by row, 64 counts each.
    using StrictHistograms = std::array<int32_t, kStrictValues>;

    Histogram histogram{};
    Pattern pattern{};  // cells row by row, each 0 or 1
    // Made only for a strict comparison and released when the pair pass is done with
    // the record.
    std::unique_ptr<StrictHistograms> strictColour;
    std::unique_ptr<StrictHistograms> strictHue;
    bool ready = false;  // histogram and pattern are valid

    bool hasStrict() const { return strictColour && strictHue; }
    void releaseStrict() {
        strictColour.reset();
        strictHue.reset();
    }
};

// The cache tags of the four feature texts.
namespace featuretag {
constexpr const char* kHistogram = "image_feature_hist";
constexpr const char* kPattern = "image_feature_pattern";
constexpr const char* kStrictColour = "image_feature_strict_hist";
constexpr const char* kStrictHue = "image_feature_strict_hist_hue";
}  // namespace featuretag

// Where the rule gets a picture's pixels: an 8-bit three-channel image, empty when no
// decoder reads the file. The program uses LoadAnalysisImage.
using QXImageSource = std::function<cv::Mat(QXFileInfo&)>;

// Histogram and pattern of a picture (8-bit, three channels, BGR); false for an empty
// image or another type.
bool computeImageFeatures(const cv::Mat& image, QXImageFeatures::Histogram& histogram,
                          QXImageFeatures::Pattern& pattern);
// The strict colour and hue histograms of a picture; false as above.
bool computeStrictHistograms(const cv::Mat& image, QXImageFeatures::StrictHistograms& colour,
                             QXImageFeatures::StrictHistograms& hue);
// The hue of a pixel in whole degrees, 0 to 359 (0 for a grey pixel).
int hueDegrees(int r, int g, int b);

// The cache text of `count` values: their little-endian bytes, 6 bits a character, most
// significant bit first, the last character filled up with zero bits, no padding.
std::string encodeFeatureText(const int32_t* values, size_t count);
// Reads such a text (stopping at the first character outside the alphabet) into
// `values`; true only when it holds exactly count × 4 bytes.
bool decodeFeatureText(std::string_view text, int32_t* values, size_t count);

// Makes the histogram and pattern of a record that has no feature record yet: from the
// cache (when given, and both texts are valid for the file's stamp), else from the
// picture, whose size the record takes when it did not know it yet; new features are
// then stored in the cache. A record whose picture no decoder reads keeps a feature
// record that is not ready. Nothing is done when the record already has one.
void makeImageFeatures(QXFileInfo& file, QXCacheServer* cache, const QXImageSource& source);
// Makes the strict histograms of a record with ready features when it lacks them: from
// the cache, else from the picture (then stored in the cache). False when they cannot be
// made.
bool makeStrictHistograms(QXFileInfo& file, QXCacheServer* cache, const QXImageSource& source);
// The record's features, or null.
QXImageFeatures* featuresOf(const QXFileInfo& file);

// The rule's three numbers as fractions.
struct QXSimilarityWeights {
    float histogram = 0.5f;
    float pattern = 0.5f;
    float rate = 0.95f;
};

// s(A, B) = H × histogram weight + P × pattern weight, with H = Σ min(histA, histB) /
// Σ histA and P = equal cells / 225, in single precision (the plain definition).
float similarity(const QXImageFeatures& a, const QXImageFeatures& b,
                 const QXSimilarityWeights& weights);
// The same from the integer sums: Σ min, Σ histA and the number of equal cells.
float similarityOf(int64_t minSum, int64_t sumA, int equalCells, const QXSimilarityWeights& w);
// The strict test: for every block, Σ min / Σ a above 0.5 for the colour and for the hue
// histogram. False when either record lacks its strict histograms.
bool strictMatch(const QXImageFeatures& a, const QXImageFeatures& b);

struct QXPairMatch {
    uint32_t index;  // position of B in the table's input
    float similarity;
};

// The features of one search packed for the pair pass.
class QXSimilarityTable {
public:
    // features[i] null (or not ready) means that record i never matches.
    explicit QXSimilarityTable(const std::vector<const QXImageFeatures*>& features);

    size_t size() const { return m_slotOf.size(); }
    // Appends to `out`, by increasing index, every b > a whose s(a, b) reaches the rate.
    void matchRow(size_t a, const QXSimilarityWeights& weights,
                  std::vector<QXPairMatch>& out) const;

private:
    struct Bounds;
    template <bool kPopcnt>
    void matchNarrow(size_t slot, const QXSimilarityWeights& weights, const Bounds& bounds,
                     std::vector<QXPairMatch>& out) const;
    void matchWide(size_t slot, const QXSimilarityWeights& weights,
                   std::vector<QXPairMatch>& out) const;

    static constexpr size_t kWords = 4;  // 225 pattern bits in 4 × 64

    std::vector<uint32_t> m_slotOf;   // input index → slot, or UINT32_MAX
    std::vector<uint32_t> m_indexOf;  // slot → input index
    // Narrow form (every histogram bin within 0..32767, every cell 0 or 1).
    bool m_narrow = true;
    std::vector<uint64_t> m_bits;                                // kWords per slot
    std::vector<int16_t, std::allocator<int16_t>> m_histograms;  // 64 per slot
    std::vector<int32_t> m_sums;                                 // Σ hist per slot
    // Wide form: the features themselves.
    std::vector<const QXImageFeatures*> m_features;
};

}  // namespace quenrix
