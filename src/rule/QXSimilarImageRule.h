// The similar-image rule: gives every picture of the search a small feature set (a colour
// histogram and a black-and-white pattern, QXSimilarImage.h), compares every picture with
// every later one, groups the similar ones, and marks in each group the picture to keep
// (the largest; kNewestInGroup). An optional strict comparison on 8 × 8 blocks either
// rejects the pairs that fail it or keeps them grouped but protects both pictures from
// being ticked.
//
// Observable result, over the records in list order: a record A that is not decided
// matches every later record B with s(A, B) ≥ match rate; pairs join groups (a record
// already in a group brings its group along); after A's scan the picture to keep among
// A and its group's members up to A's last match is the first one, in list order, with
// the largest width + height (ties: the strictly latest last-write time), skipping
// pictures left uncertain by a failed strict test, which keep the mark themselves. The
// groups get the search's next group numbers (QXRuleHost::takeGroupNumber, never 0) in
// order of first appearance; their members match and carry kSimilarWork1 (in a similar
// group), which stays after the search. A picture without partner loses its matched
// mark at once.
//
// Data safety: a record with the device and inode of an earlier record (a hard link)
// takes no part; decided records are neither compared nor grouped; a group that a
// record brings from an earlier rule of the same search is merged, never split, so no
// group loses its picture to keep.
//
// Features are made on a small thread pool (one record per thread at a time; the cache
// store serialises its connection) and the pair pass scans packed features on the pool,
// row by row; both give exactly the results of a serial run.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <string>

#include "rule/QXRule.h"
#include "rule/QXSimilarImage.h"

namespace quenrix {

class QXSimilarImageRule : public QXRule {
public:
    static constexpr int32_t kReject = 0;  // "拒否"
    static constexpr int32_t kSelect = 1;  // "選択"
    // A match this good needs no strict test.
    static constexpr float kGrade2 = 0.99f;

    QXSimilarImageRule();

    int32_t typeId() const override;
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    std::vector<std::string> cacheTags() const override;
    // "類似画像：ヒストグラムウェイト:%d, パターンマッチウェイト:%d, 一致率:%d"
    std::wstring description() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    void writeOwnPairs(QXRulePairs& out) const override;
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    // "拒否" / "選択"; empty otherwise.
    static std::wstring strictActionLabel(int32_t action);

    int32_t histogramWeight() const { return m_histogramWeight; }
    void setHistogramWeight(int32_t v) { m_histogramWeight = v; }
    int32_t patternWeight() const { return m_patternWeight; }
    void setPatternWeight(int32_t v) { m_patternWeight = v; }
    int32_t matchRate() const { return m_matchRate; }
    void setMatchRate(int32_t v) { m_matchRate = v; }
    bool strict() const { return m_strict; }
    void setStrict(bool v) { m_strict = v; }
    int32_t strictAction() const { return m_strictAction; }
    void setStrictAction(int32_t v) { m_strictAction = v; }

    // The three numbers as fractions.
    QXSimilarityWeights weights() const;

    // Where the pixels come from (LoadAnalysisImage unless a test sets another source).
    void setImageSource(QXImageSource source) { m_source = std::move(source); }

private:
    bool makeFeatures(const QXFileList& files, const std::vector<uint8_t>& eligible,
                      QXRuleHost& host);

    int32_t m_histogramWeight = 50;
    int32_t m_patternWeight = 50;
    int32_t m_matchRate = 95;
    bool m_strict = false;
    int32_t m_strictAction = kSelect;
    QXImageSource m_source;
};

}  // namespace quenrix
