// The similar-image pair pass over many feature records next to a direct per-pair loop
// over the integer arrays, in one run:
//
//   quenrix_bench_similar [records=50000] [--full]
//
// The records are clusters of near copies (histograms with counts moved between bins,
// patterns with flipped cells) among unrelated pictures. Timed:
//   rule     the rule's apply with the features already made: the packed pass on the
//            pool and the grouping, as a search runs it;
//   packed   the packed scan of every row on one thread (no grouping);
//   direct   the plain loop over the int arrays: on every 20th row (the time scaled by
//            the number of pairs), or on every row with --full.
// The matches of the sampled rows are compared between packed and direct.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/QXFileExtras.h"
#include "core/QXFileInfo.h"
#include "rule/QXSimilarImage.h"
#include "rule/QXSimilarImageRule.h"

using namespace quenrix;

namespace {

class Host : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo&) override {}
    void report(int) override {}
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The matches of row a by the plain definition.
size_t directRow(const std::vector<std::shared_ptr<QXImageFeatures>>& f, size_t a, float hw,
                 float pw, float rate, uint64_t& checksum) {
    size_t matches = 0;
    const QXImageFeatures& x = *f[a];
    for (size_t b = a + 1; b < f.size(); ++b) {
        const QXImageFeatures& y = *f[b];
        int64_t minSum = 0, sumA = 0;
        for (size_t i = 0; i < 64; ++i) {
            minSum += std::min(x.histogram[i], y.histogram[i]);
            sumA += x.histogram[i];
        }
        int equal = 0;
        for (size_t i = 0; i < 225; ++i) equal += x.pattern[i] == y.pattern[i];
        const float h = float(minSum) / float(sumA);
        const float p = float(equal) / 225.0f;
        const float s = h * hw + p * pw;
        if (s >= rate) {
            ++matches;
            checksum = checksum * 31 + b;
        }
    }
    return matches;
}

}  // namespace

int main(int argc, char** argv) {
    size_t n = 50000;
    bool full = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--full") == 0) {
            full = true;
        } else {
            n = std::strtoul(argv[i], nullptr, 10);
        }
    }
    if (n < 2) n = 2;

    std::mt19937 rng(2024);
    std::vector<std::shared_ptr<QXImageFeatures>> features(n);
    std::vector<QXImageFeatures> prototypes(n / 8 + 1);
    for (auto& p : prototypes) {
        p.histogram.fill(0);
        for (int k = 0; k < 14400; ++k) ++p.histogram[rng() % 4 == 0 ? rng() % 64 : rng() % 12];
        for (auto& cell : p.pattern) cell = int32_t(rng() % 2);
    }
    QXFileList files;
    for (size_t i = 0; i < n; ++i) {
        const QXImageFeatures& prototype = prototypes[rng() % prototypes.size()];
        auto f = std::make_shared<QXImageFeatures>();
        f->histogram = prototype.histogram;
        f->pattern = prototype.pattern;
        for (int k = int(rng() % 200); k > 0; --k) {
            const size_t from = rng() % 64, to = rng() % 64;
            if (f->histogram[from] > 0) --f->histogram[from], ++f->histogram[to];
        }
        for (int k = int(rng() % 10); k > 0; --k) f->pattern[rng() % 225] ^= 1;
        f->ready = true;
        features[i] = f;
        platform::FileStat st;
        st.dev = 1;
        st.ino = i + 1;
        st.writeNs = int64_t(rng() % 1000);
        auto record = std::make_shared<QXFileInfo>("/bench/" + std::to_string(i), st);
        record->imageWidth = int32_t(rng() % 2000);
        record->addFlags(QXFileInfo::kImageSize | QXFileInfo::kMatched);
        record->extras().features = f;
        files.push_back(record);
    }
    const float hw = 0.5f, pw = 0.5f, rate = 0.95f;
    const double pairs = double(n) * double(n - 1) / 2;

    QXSimilarImageRule rule;
    Host host;
    auto start = std::chrono::steady_clock::now();
    rule.apply(files, host);
    const double ruleSeconds = secondsSince(start);
    size_t matched = 0;
    for (size_t i = 0; i < n; ++i) matched += rule.verdict(i);

    std::vector<const QXImageFeatures*> plain(n);
    for (size_t i = 0; i < n; ++i) plain[i] = features[i].get();
    const QXSimilarityTable table(plain);
    std::vector<QXPairMatch> row;
    size_t packedMatches = 0;
    start = std::chrono::steady_clock::now();
    for (size_t a = 0; a < n; ++a) {
        row.clear();
        table.matchRow(a, {hw, pw, rate}, row);
        packedMatches += row.size();
    }
    const double packedSeconds = secondsSince(start);

    const size_t step = full ? 1 : 20;
    double sampledPairs = 0;
    size_t directMatches = 0, sampledPackedMatches = 0;
    uint64_t directSum = 0, packedSum = 0;
    start = std::chrono::steady_clock::now();
    for (size_t a = 0; a < n; a += step) {
        directMatches += directRow(features, a, hw, pw, rate, directSum);
        sampledPairs += double(n - a - 1);
    }
    const double directSampled = secondsSince(start);
    for (size_t a = 0; a < n; a += step) {
        row.clear();
        table.matchRow(a, {hw, pw, rate}, row);
        sampledPackedMatches += row.size();
        for (const auto& m : row) packedSum = packedSum * 31 + m.index;
    }
    const double directSeconds = directSampled * pairs / sampledPairs;

    std::printf("records %zu, pairs %.0f, matching pairs %zu, grouped records %zu\n", n, pairs,
                packedMatches, matched);
    std::printf("rule (pool, with grouping) %8.3f s  %6.2f ns/pair\n", ruleSeconds,
                ruleSeconds * 1e9 / pairs);
    std::printf("packed scan, one thread    %8.3f s  %6.2f ns/pair\n", packedSeconds,
                packedSeconds * 1e9 / pairs);
    std::printf("direct loop%s %8.3f s  %6.2f ns/pair (%.3f s measured on %.0f pairs)\n",
                full ? ",              " : " (scaled)      ", directSeconds,
                directSeconds * 1e9 / pairs, directSampled, sampledPairs);
    std::printf("speed-up: rule %.1fx, packed scan %.1fx\n", directSeconds / ruleSeconds,
                directSeconds / packedSeconds);
    const bool same = directMatches == sampledPackedMatches && directSum == packedSum;
    std::printf("sampled rows agree: %s (%zu matches)\n", same ? "yes" : "NO", directMatches);
    return same ? 0 : 1;
}
