// The ID3 rule: compares one property of an audio file (channels, rates, track, year,
// length in seconds, or one of the five tag texts) as the tag module reads it. Without
// the module every test is false.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/QXMetadata.h"
#include "rule/QXEvalRule.h"

namespace quenrix {

class QXID3Rule : public QXEvalRule {
public:
    static constexpr int32_t kChannels = 0;
    static constexpr int32_t kBitRate = 1;
    static constexpr int32_t kSampleRate = 2;
    static constexpr int32_t kTrack = 3;
    static constexpr int32_t kYear = 4;
    static constexpr int32_t kLength = 5;
    static constexpr int32_t kArtist = 6;
    static constexpr int32_t kTitle = 7;
    static constexpr int32_t kAlbum = 8;
    static constexpr int32_t kGenre = 9;
    static constexpr int32_t kComment = 10;
    static constexpr int32_t kPropertyCount = 11;

    QXID3Rule();

    int32_t typeId() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    bool test(QXFileInfo& file) const override;
    int32_t propertyCount() const override { return kPropertyCount; }
    std::wstring_view propertyLabel(int32_t index) const override { return label(index); }

    // The test on a holder already read; false when it is not ready.
    bool matches(const QXId3Holder& holder) const;

    // "チャンネル数" … "コメント"; empty outside 0 to 10.
    static std::wstring_view label(int32_t index);
};

}  // namespace quenrix
