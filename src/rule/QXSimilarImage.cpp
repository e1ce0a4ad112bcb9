#include "rule/QXSimilarImage.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include <opencv2/imgproc.hpp>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#define QX_SIMILAR_X86 1
#endif

#include "core/QXFileExtras.h"
#include "core/QXFileInfo.h"
#include "digest/QXCacheServer.h"
#include "digest/QXDigest.h"

namespace quenrix {

namespace {

constexpr int kFeatureSide = 120;
constexpr int kCellSide = 8;
constexpr int kStrictSide = 128;
constexpr int kBlockSide = 16;

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int colourBin(const cv::Vec3b& px) {
    return (px[0] / 64) * 16 + (px[1] / 64) * 4 + px[2] / 64;
}

bool usableImage(const cv::Mat& image) {
    return !image.empty() && image.type() == CV_8UC3 && image.cols > 0 && image.rows > 0;
}

cv::Mat resized(const cv::Mat& image, int side) {
    if (image.cols == side && image.rows == side) return image;
    cv::Mat out;
    cv::resize(image, out, cv::Size(side, side), 0, 0, cv::INTER_LINEAR);
    return out;
}

// Features as the pair pass can use them. Cached texts are ours, but a file may have
// been damaged: values outside what a picture gives are refused and made again.
bool plausible(const QXImageFeatures::Histogram& histogram,
               const QXImageFeatures::Pattern& pattern) {
    int64_t sum = 0;
    for (int32_t v : histogram) {
        if (v < 0 || v > kFeatureSide * kFeatureSide) return false;
        sum += v;
    }
    if (sum <= 0) return false;
    for (int32_t v : pattern) {
        if (v != 0 && v != 1) return false;
    }
    return true;
}

// A cached text of `tag` valid for the file's stamp, decoded into `values`.
bool cachedValues(QXCacheServer& cache, const QXFileInfo& file, const char* tag,
                  const std::string& stamp, int32_t* values, size_t count) {
    std::string content, rowStamp;
    if (!cache.find(file.nativePath(), tag, content, rowStamp)) return false;
    if (rowStamp != stamp) return false;
    return decodeFeatureText(content, values, count);
}

}  // namespace

// ---- extraction

bool computeImageFeatures(const cv::Mat& image, QXImageFeatures::Histogram& histogram,
                          QXImageFeatures::Pattern& pattern) {
    if (!usableImage(image)) return false;
    const cv::Mat small = resized(image, kFeatureSide);
    histogram.fill(0);
    for (int y = 0; y < small.rows; ++y) {
        const cv::Vec3b* row = small.ptr<cv::Vec3b>(y);
        for (int x = 0; x < small.cols; ++x) ++histogram[size_t(colourBin(row[x]))];
    }
    cv::Mat grey, smooth, binary;
    cv::cvtColor(small, grey, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(grey, smooth, cv::Size(5, 5), 0);
    cv::threshold(smooth, binary, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    const int cells = int(QXImageFeatures::kPatternSide);
    for (int cy = 0; cy < cells; ++cy) {
        for (int cx = 0; cx < cells; ++cx) {
            int set = 0;
            for (int y = 0; y < kCellSide; ++y) {
                const uint8_t* row = binary.ptr<uint8_t>(cy * kCellSide + y) + cx * kCellSide;
                for (int x = 0; x < kCellSide; ++x) set += row[x] != 0;
            }
            pattern[size_t(cy * cells + cx)] = set >= kCellSide * kCellSide / 2 ? 1 : 0;
        }
    }
    return true;
}

int hueDegrees(int r, int g, int b) {
    const int hi = std::max({r, g, b});
    const int lo = std::min({r, g, b});
    if (hi == lo) return 0;
    const int range = hi - lo;
    int h;
    if (hi == r) {
        h = 60 * (g - b) / range;
    } else if (hi == g) {
        h = 60 * (b - r) / range + 120;
    } else {
        h = 60 * (r - g) / range + 240;
    }
    if (h < 0) h += 360;
    return h;
}

bool computeStrictHistograms(const cv::Mat& image, QXImageFeatures::StrictHistograms& colour,
                             QXImageFeatures::StrictHistograms& hue) {
    if (!usableImage(image)) return false;
    cv::Mat small, smooth;
    cv::resize(image, small, cv::Size(kStrictSide, kStrictSide), 0, 0, cv::INTER_LINEAR);
    cv::GaussianBlur(small, smooth, cv::Size(5, 5), 0);
    colour.fill(0);
    hue.fill(0);
    const int blocks = kStrictSide / kBlockSide;
    for (int y = 0; y < kStrictSide; ++y) {
        const cv::Vec3b* row = smooth.ptr<cv::Vec3b>(y);
        for (int x = 0; x < kStrictSide; ++x) {
            const size_t block = size_t((y / kBlockSide) * blocks + x / kBlockSide);
            const size_t base = block * QXImageFeatures::kHistogramBins;
            const cv::Vec3b& px = row[x];
            ++colour[base + size_t(colourBin(px))];
            ++hue[base + size_t(hueDegrees(px[2], px[1], px[0]) / 6)];
        }
    }
    return true;
}

// ---- cache texts

std::string encodeFeatureText(const int32_t* values, size_t count) {
    std::string out;
    out.reserve((count * 32 + 5) / 6);
    uint32_t acc = 0;
    int bits = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t v = uint32_t(values[i]);
        for (int k = 0; k < 4; ++k) {
            acc = (acc << 8) | ((v >> (8 * k)) & 0xFF);
            bits += 8;
            while (bits >= 6) {
                bits -= 6;
                out.push_back(kAlphabet[(acc >> bits) & 0x3F]);
            }
        }
    }
    if (bits > 0) out.push_back(kAlphabet[(acc << (6 - bits)) & 0x3F]);
    return out;
}

bool decodeFeatureText(std::string_view text, int32_t* values, size_t count) {
    const size_t want = count * 4;
    size_t got = 0;
    uint32_t acc = 0;
    int bits = 0;
    uint32_t value = 0;
    for (char c : text) {
        int d;
        if (c >= 'A' && c <= 'Z') {
            d = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            d = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            d = c - '0' + 52;
        } else if (c == '+') {
            d = 62;
        } else if (c == '/') {
            d = 63;
        } else {
            break;
        }
        acc = ((acc << 6) | uint32_t(d)) & 0xFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            if (got == want) return false;  // more bytes than the values hold
            const uint32_t byte = (acc >> bits) & 0xFF;
            value |= byte << (8 * (got % 4));
            ++got;
            if (got % 4 == 0) {
                values[got / 4 - 1] = int32_t(value);
                value = 0;
            }
        }
    }
    return got == want;
}

// ---- records

QXImageFeatures* featuresOf(const QXFileInfo& file) {
    const QXFileExtras* extras = file.extrasIfAny();
    return extras ? extras->features.get() : nullptr;
}

void makeImageFeatures(QXFileInfo& file, QXCacheServer* cache, const QXImageSource& source) {
    QXFileExtras& extras = file.extras();
    if (extras.features) return;
    auto features = std::make_shared<QXImageFeatures>();
    extras.features = features;
    std::string stamp;
    if (cache) {
        stamp = digestCacheStamp(file.stat());
        QXImageFeatures::Histogram histogram;
        QXImageFeatures::Pattern pattern;
        if (cachedValues(*cache, file, featuretag::kHistogram, stamp, histogram.data(),
                         histogram.size()) &&
            cachedValues(*cache, file, featuretag::kPattern, stamp, pattern.data(),
                         pattern.size()) &&
            plausible(histogram, pattern)) {
            features->histogram = histogram;
            features->pattern = pattern;
            features->ready = true;
            return;
        }
    }
    cv::Mat image;
    try {
        image = source ? source(file) : cv::Mat();
        if (!usableImage(image)) return;
        if (!file.hasFlag(QXFileInfo::kImageSize)) {
            file.imageWidth = image.cols;
            file.imageHeight = image.rows;
            file.addFlags(QXFileInfo::kImageSize);
        }
        if (!computeImageFeatures(image, features->histogram, features->pattern)) return;
    } catch (const cv::Exception&) {
        return;
    } catch (const std::bad_alloc&) {
        return;
    }
    features->ready = true;
    if (cache) {
        cache->store(file.nativePath(), featuretag::kHistogram,
                     encodeFeatureText(features->histogram.data(), features->histogram.size()),
                     stamp);
        cache->store(file.nativePath(), featuretag::kPattern,
                     encodeFeatureText(features->pattern.data(), features->pattern.size()), stamp);
    }
}

bool makeStrictHistograms(QXFileInfo& file, QXCacheServer* cache, const QXImageSource& source) {
    QXImageFeatures* features = featuresOf(file);
    if (!features || !features->ready) return false;
    if (features->hasStrict()) return true;
    try {
        auto colour = std::make_unique<QXImageFeatures::StrictHistograms>();
        auto hue = std::make_unique<QXImageFeatures::StrictHistograms>();
        std::string stamp;
        if (cache) {
            stamp = digestCacheStamp(file.stat());
            if (cachedValues(*cache, file, featuretag::kStrictColour, stamp, colour->data(),
                             colour->size()) &&
                cachedValues(*cache, file, featuretag::kStrictHue, stamp, hue->data(),
                             hue->size())) {
                features->strictColour = std::move(colour);
                features->strictHue = std::move(hue);
                return true;
            }
        }
        const cv::Mat image = source ? source(file) : cv::Mat();
        if (!computeStrictHistograms(image, *colour, *hue)) return false;
        if (cache) {
            cache->store(file.nativePath(), featuretag::kStrictColour,
                         encodeFeatureText(colour->data(), colour->size()), stamp);
            cache->store(file.nativePath(), featuretag::kStrictHue,
                         encodeFeatureText(hue->data(), hue->size()), stamp);
        }
        features->strictColour = std::move(colour);
        features->strictHue = std::move(hue);
        return true;
    } catch (const cv::Exception&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// ---- comparison

// Kept out of line so that every caller, the packed pass included, rounds exactly alike
// (no contraction into fused multiply-adds in code built for other instruction sets).
__attribute__((noinline)) float similarityOf(int64_t minSum, int64_t sumA, int equalCells,
                                             const QXSimilarityWeights& w) {
    const float h = float(minSum) / float(sumA);
    const float p = float(equalCells) / float(QXImageFeatures::kPatternCells);
    const float hw = h * w.histogram;
    const float pw = p * w.pattern;
    return hw + pw;
}

float similarity(const QXImageFeatures& a, const QXImageFeatures& b,
                 const QXSimilarityWeights& weights) {
    int64_t minSum = 0, sumA = 0;
    for (size_t i = 0; i < QXImageFeatures::kHistogramBins; ++i) {
        minSum += std::min(a.histogram[i], b.histogram[i]);
        sumA += a.histogram[i];
    }
    int equal = 0;
    for (size_t i = 0; i < QXImageFeatures::kPatternCells; ++i)
        equal += a.pattern[i] == b.pattern[i];
    return similarityOf(minSum, sumA, equal, weights);
}

bool strictMatch(const QXImageFeatures& a, const QXImageFeatures& b) {
    if (!a.hasStrict() || !b.hasStrict()) return false;
    auto passes = [](const QXImageFeatures::StrictHistograms& x,
                     const QXImageFeatures::StrictHistograms& y) {
        for (size_t block = 0; block < QXImageFeatures::kStrictBlocks; ++block) {
            int64_t minSum = 0, sum = 0;
            for (size_t i = 0; i < QXImageFeatures::kHistogramBins; ++i) {
                const size_t k = block * QXImageFeatures::kHistogramBins + i;
                minSum += std::min(x[k], y[k]);
                sum += x[k];
            }
            if (!(float(minSum) / float(sum) > 0.5f)) return false;
        }
        return true;
    };
    return passes(*a.strictColour, *b.strictColour) && passes(*a.strictHue, *b.strictHue);
}

// ---- packed table

// Which numbers of equal cells can still reach the rate: H is at most 1, so s is at most
// what the best histogram term gives, and rounding keeps that order.
struct QXSimilarityTable::Bounds {
    std::array<bool, QXImageFeatures::kPatternCells + 1> reachable{};
};

QXSimilarityTable::QXSimilarityTable(const std::vector<const QXImageFeatures*>& features)
    : m_slotOf(features.size(), UINT32_MAX) {
    for (size_t i = 0; i < features.size(); ++i) {
        const QXImageFeatures* f = features[i];
        if (!f || !f->ready) continue;
        m_slotOf[i] = uint32_t(m_indexOf.size());
        m_indexOf.push_back(uint32_t(i));
        m_features.push_back(f);
        for (int32_t v : f->histogram) m_narrow = m_narrow && v >= 0 && v <= INT16_MAX;
        for (int32_t v : f->pattern) m_narrow = m_narrow && (v == 0 || v == 1);
    }
    if (!m_narrow) return;
    const size_t slots = m_indexOf.size();
    m_bits.assign(slots * kWords, 0);
    m_histograms.assign(slots * QXImageFeatures::kHistogramBins, 0);
    m_sums.assign(slots, 0);
    for (size_t s = 0; s < slots; ++s) {
        const QXImageFeatures& f = *m_features[s];
        for (size_t c = 0; c < QXImageFeatures::kPatternCells; ++c) {
            if (f.pattern[c]) m_bits[s * kWords + c / 64] |= uint64_t(1) << (c % 64);
        }
        int32_t sum = 0;
        for (size_t i = 0; i < QXImageFeatures::kHistogramBins; ++i) {
            m_histograms[s * QXImageFeatures::kHistogramBins + i] = int16_t(f.histogram[i]);
            sum += f.histogram[i];
        }
        m_sums[s] = sum;
    }
}

namespace {

// Σ min(a[i], b[i]) over 64 non-negative 16-bit counts.
inline int32_t minSum64(const int16_t* a, const int16_t* b) {
#ifdef QX_SIMILAR_X86
    const __m128i ones = _mm_set1_epi16(1);
    __m128i acc = _mm_setzero_si128();
    for (int k = 0; k < 64; k += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + k));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + k));
        acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_min_epi16(x, y), ones));
    }
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(1, 0, 3, 2)));
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, _MM_SHUFFLE(2, 3, 0, 1)));
    return _mm_cvtsi128_si32(acc);
#else
    int32_t sum = 0;
    for (int k = 0; k < 64; ++k) sum += std::min(a[k], b[k]);
    return sum;
#endif
}

#ifdef QX_SIMILAR_X86
__attribute__((target("popcnt"))) inline int differingBitsPopcnt(const uint64_t* x,
                                                                 const uint64_t* y) {
    return __builtin_popcountll(x[0] ^ y[0]) + __builtin_popcountll(x[1] ^ y[1]) +
           __builtin_popcountll(x[2] ^ y[2]) + __builtin_popcountll(x[3] ^ y[3]);
}
#endif

inline int differingBitsPlain(const uint64_t* x, const uint64_t* y) {
    return __builtin_popcountll(x[0] ^ y[0]) + __builtin_popcountll(x[1] ^ y[1]) +
           __builtin_popcountll(x[2] ^ y[2]) + __builtin_popcountll(x[3] ^ y[3]);
}

bool havePopcnt() {
#ifdef QX_SIMILAR_X86
    static const bool have = __builtin_cpu_supports("popcnt");
    return have;
#else
    return false;
#endif
}

// The scan of one row; built twice, with and without the population-count instruction.
template <class Differ>
inline void scanRow(size_t slot, size_t slots, const uint64_t* bits, const int16_t* histograms,
                    const int32_t* sums, const uint32_t* indexOf, const bool* reachable,
                    const QXSimilarityWeights& weights, std::vector<QXPairMatch>& out,
                    Differ differ) {
    constexpr int cells = int(QXImageFeatures::kPatternCells);
    const uint64_t* mine = bits + slot * 4;
    const int16_t* myHistogram = histograms + slot * 64;
    const int64_t mySum = sums[slot];
    for (size_t other = slot + 1; other < slots; ++other) {
        const int equal = cells - differ(mine, bits + other * 4);
        if (!reachable[equal]) continue;
        const int32_t minSum = minSum64(myHistogram, histograms + other * 64);
        const float s = similarityOf(minSum, mySum, equal, weights);
        if (s >= weights.rate) out.push_back({indexOf[other], s});
    }
}

#ifdef QX_SIMILAR_X86
__attribute__((target("popcnt"))) void scanRowPopcnt(size_t slot, size_t slots,
                                                     const uint64_t* bits,
                                                     const int16_t* histograms, const int32_t* sums,
                                                     const uint32_t* indexOf, const bool* reachable,
                                                     const QXSimilarityWeights& weights,
                                                     std::vector<QXPairMatch>& out) {
    scanRow(slot, slots, bits, histograms, sums, indexOf, reachable, weights, out,
            [](const uint64_t* x, const uint64_t* y) { return differingBitsPopcnt(x, y); });
}
#endif

void scanRowPlain(size_t slot, size_t slots, const uint64_t* bits, const int16_t* histograms,
                  const int32_t* sums, const uint32_t* indexOf, const bool* reachable,
                  const QXSimilarityWeights& weights, std::vector<QXPairMatch>& out) {
    scanRow(slot, slots, bits, histograms, sums, indexOf, reachable, weights, out,
            [](const uint64_t* x, const uint64_t* y) { return differingBitsPlain(x, y); });
}

}  // namespace

template <bool kPopcnt>
void QXSimilarityTable::matchNarrow(size_t slot, const QXSimilarityWeights& weights,
                                    const Bounds& bounds, std::vector<QXPairMatch>& out) const {
#ifdef QX_SIMILAR_X86
    if constexpr (kPopcnt) {
        scanRowPopcnt(slot, m_indexOf.size(), m_bits.data(), m_histograms.data(), m_sums.data(),
                      m_indexOf.data(), bounds.reachable.data(), weights, out);
        return;
    }
#endif
    scanRowPlain(slot, m_indexOf.size(), m_bits.data(), m_histograms.data(), m_sums.data(),
                 m_indexOf.data(), bounds.reachable.data(), weights, out);
}

void QXSimilarityTable::matchWide(size_t slot, const QXSimilarityWeights& weights,
                                  std::vector<QXPairMatch>& out) const {
    const QXImageFeatures& mine = *m_features[slot];
    for (size_t other = slot + 1; other < m_features.size(); ++other) {
        const float s = similarity(mine, *m_features[other], weights);
        if (s >= weights.rate) out.push_back({m_indexOf[other], s});
    }
}

void QXSimilarityTable::matchRow(size_t a, const QXSimilarityWeights& weights,
                                 std::vector<QXPairMatch>& out) const {
    if (a >= m_slotOf.size() || m_slotOf[a] == UINT32_MAX) return;
    const size_t slot = m_slotOf[a];
    if (!m_narrow) return matchWide(slot, weights, out);
    // The same bound for every row; cheap enough to make per row.
    Bounds bounds;
    const float bestHistogram = weights.histogram > 0 ? weights.histogram : 0.0f;
    for (int equal = 0; equal <= int(QXImageFeatures::kPatternCells); ++equal) {
        const float p = float(equal) / float(QXImageFeatures::kPatternCells);
        const float pw = p * weights.pattern;
        const float best = bestHistogram + pw;
        bounds.reachable[size_t(equal)] = best >= weights.rate;
    }
    if (havePopcnt()) {
        matchNarrow<true>(slot, weights, bounds, out);
    } else {
        matchNarrow<false>(slot, weights, bounds, out);
    }
}

}  // namespace quenrix
