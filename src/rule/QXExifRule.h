// The Exif rule: compares one Exif value of a JPEG photograph (camera, times, exposure,
// the comment) with the typed value. Files that are not JPEG never match.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/QXExifLabels.h"
#include "core/QXMetadata.h"
#include "rule/QXEvalRule.h"

namespace quenrix {

class QXExifRule : public QXEvalRule {
public:
    static constexpr int32_t kMake = 0;
    static constexpr int32_t kModel = 1;
    static constexpr int32_t kSoftware = 2;
    static constexpr int32_t kComment = 3;
    static constexpr int32_t kCopyright = 4;
    static constexpr int32_t kDateTime = 5;
    static constexpr int32_t kWidth = 6;
    static constexpr int32_t kHeight = 7;
    static constexpr int32_t kAperture = 8;
    static constexpr int32_t kShutterSpeed = 9;
    static constexpr int32_t kIsoSpeed = 10;
    static constexpr int32_t kExposureProgram = 11;
    static constexpr int32_t kExposureMode = 12;
    static constexpr int32_t kFlash = 13;
    static constexpr int32_t kWhiteBalance = 14;
    static constexpr int32_t kLightSource = 15;
    static constexpr int32_t kMeteringMode = 16;
    static constexpr int32_t kPropertyCount = 17;

    using CodeLabel = QXExifCodeLabel;

    QXExifRule();

    int32_t typeId() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    bool test(QXFileInfo& file) const override;
    int32_t propertyCount() const override { return kPropertyCount; }
    std::wstring_view propertyLabel(int32_t index) const override { return label(index); }
    // For the code properties (11 to 16) a value that is a listed code shows its label.
    std::wstring displayValue() const override;

    // The test on a holder already read: false when it is not ready, when the value is
    // missing or of the other type (text against number), or when the operator does not
    // apply to the property's comparison.
    bool matches(const QXExifHolder& holder) const;

    // "メーカー" … "測光方式"; empty outside 0 to 16.
    static std::wstring_view label(int32_t index);
    // The name the Exif reader keeps the property's value under ("CameraMake", …).
    static const char* valueName(int32_t index);
    // The codes and labels the dialog offers for properties 11 to 16, in list order;
    // empty for the others.
    static std::span<const CodeLabel> codeLabels(int32_t index);
    // The label of a listed code of property 11 to 16; empty for an unlisted code.
    static std::wstring_view codeLabel(int32_t index, int32_t code);
    // The suggestions for "メーカー" (15 makers) and "モデル" (159 models, each
    // beginning with its maker).
    static std::span<const wchar_t* const> makerNames();
    static std::span<const wchar_t* const> modelNames();
};

}  // namespace quenrix
