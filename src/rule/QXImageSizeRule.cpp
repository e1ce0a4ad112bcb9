#include "rule/QXImageSizeRule.h"

#include "core/QXImageLoader.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

const wchar_t* const kFunctionLabels[] = {L"一致", L"一致しない", L"より大きい", L"より小さい"};

}  // namespace

QXImageSizeRule::QXImageSizeRule() : QXRule(ruleKind(ruletype::kImageSize)->priority) {}

int32_t QXImageSizeRule::typeId() const {
    return ruletype::kImageSize;
}

std::wstring QXImageSizeRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::wstring QXImageSizeRule::functionLabel(int32_t f) {
    if (f < 0 || f >= kFunctionCount) return std::wstring();
    return kFunctionLabels[f];
}

std::wstring QXImageSizeRule::checkInput(const std::wstring& widthText,
                                         const std::wstring& heightText, int32_t* width,
                                         int32_t* height) {
    if (widthText.empty() || heightText.empty()) return L"画像サイズを入力してください";
    const int32_t w = readInt32(widthText);
    const int32_t h = readInt32(heightText);
    if (w == 0 && h == 0) return L"画像サイズを正しく入力してください";
    if (width) *width = w;
    if (height) *height = h;
    return std::wstring();
}

bool QXImageSizeRule::match(int32_t width, int32_t height) const {
    auto passes = [this](int32_t actual, int32_t value) {
        switch (m_function) {
            case kEqual:
                return actual == value;
            case kNotEqual:
                return actual != value;
            case kAtLeast:
                return actual >= value;
            case kAtMost:
                return actual <= value;
            default:
                return false;
        }
    };
    if (m_function < 0 || m_function >= kFunctionCount) return false;
    if (m_width > 0 && !passes(width, m_width)) return false;
    if (m_height > 0 && !passes(height, m_height)) return false;
    return true;
}

bool QXImageSizeRule::apply(const QXFileList& files, QXRuleHost& host) {
    return applyEach(files, host, [this](QXFileInfo& file) {
        return EnsureImageSize(file) && match(file.imageWidth, file.imageHeight);
    });
}

std::wstring QXImageSizeRule::description() const {
    std::wstring text;
    if (m_width > 0) text += L"幅 " + std::to_wstring(m_width) + L" ";
    if (m_height > 0) text += L"高さ " + std::to_wstring(m_height) + L" ";
    const std::wstring label = functionLabel(m_function);
    return text + (label.empty() ? std::to_wstring(m_function) : label);
}

std::shared_ptr<QXRule> QXImageSizeRule::clone() const {
    auto copy = std::make_shared<QXImageSizeRule>();
    copy->m_width = m_width;
    copy->m_height = m_height;
    copy->m_function = m_function;
    copyBaseTo(*copy);
    return copy;
}

void QXImageSizeRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"width", std::to_wstring(m_width));
    out.emplace_back(L"height", std::to_wstring(m_height));
    out.emplace_back(L"func", std::to_wstring(m_function));
}

void QXImageSizeRule::writeOwnLines(std::wstring& out) const {
    appendLine(out, L"width", std::to_wstring(m_width));
    appendLine(out, L"height", std::to_wstring(m_height));
    appendLine(out, L"func", std::to_wstring(m_function));
}

bool QXImageSizeRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"width") {
        m_width = readInt32(value);
    } else if (key == L"height") {
        m_height = readInt32(value);
    } else if (key == L"func") {
        m_function = readInt32(value);
    }
    return true;
}

}  // namespace quenrix
