// The image-size rule: compares a picture's width and height (in pixels, learned through
// EnsureImageSize) with given values. A value of 0 or less leaves that side untested;
// with both sides tested both must pass. A file whose size no decoder gives never
// matches.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <string>

#include "rule/QXRule.h"

namespace quenrix {

class QXImageSizeRule : public QXRule {
public:
    static constexpr int32_t kEqual = 0;     // 一致
    static constexpr int32_t kNotEqual = 1;  // 一致しない
    static constexpr int32_t kAtLeast = 2;   // より大きい (equality included)
    static constexpr int32_t kAtMost = 3;    // より小さい (equality included)
    static constexpr int32_t kFunctionCount = 4;

    QXImageSizeRule();

    int32_t typeId() const override;
    bool apply(const QXFileList& files, QXRuleHost& host) override;
    std::wstring description() const override;
    std::wstring kindName() const override;
    std::shared_ptr<QXRule> clone() const override;
    void writeOwnPairs(QXRulePairs& out) const override;
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    // The label of comparison `f`; empty outside 0 to 3.
    static std::wstring functionLabel(int32_t f);

    // The edit dialog's check on OK of the two edits' texts (digits only):
    //   either empty         "画像サイズを入力してください"
    //   both numbers 0       "画像サイズを正しく入力してください"
    // Empty when accepted; *width and *height then hold the numbers (values beyond the
    // 32-bit range are read as the largest one).
    static std::wstring checkInput(const std::wstring& widthText, const std::wstring& heightText,
                                   int32_t* width, int32_t* height);

    // The verdict for a picture of that size. A comparison outside 0 to 3 matches
    // nothing.
    bool match(int32_t width, int32_t height) const;

    int32_t width() const { return m_width; }
    void setWidth(int32_t width) { m_width = width; }
    int32_t height() const { return m_height; }
    void setHeight(int32_t height) { m_height = height; }
    int32_t function() const { return m_function; }
    void setFunction(int32_t function) { m_function = function; }

private:
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_function = kAtLeast;
};

}  // namespace quenrix
