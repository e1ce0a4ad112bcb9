// The video rule: compares the frame width, the frame height or the length in whole
// seconds of a video file, read through OpenCV, with the typed number.
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

class QXVideoRule : public QXEvalRule {
public:
    static constexpr int32_t kWidth = 0;
    static constexpr int32_t kHeight = 1;
    static constexpr int32_t kLength = 2;
    static constexpr int32_t kPropertyCount = 3;

    QXVideoRule();

    int32_t typeId() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    bool test(QXFileInfo& file) const override;
    int32_t propertyCount() const override { return kPropertyCount; }
    std::wstring_view propertyLabel(int32_t index) const override { return label(index); }

    // The test on a holder already read; false when it is not ready, and for the length
    // when the frame rate is not above 0.
    bool matches(const QXVideoHolder& holder) const;

    // "幅", "高さ", "長さ"; empty outside 0 to 2.
    static std::wstring_view label(int32_t index);
};

}  // namespace quenrix
