#include "rule/QXVideoRule.h"

#include "rule/QXMetadataFetch.h"
#include "rule/QXRuleRegistry.h"

namespace quenrix {

namespace {

const wchar_t* const kLabels[QXVideoRule::kPropertyCount] = {L"幅", L"高さ", L"長さ"};

}  // namespace

QXVideoRule::QXVideoRule() : QXEvalRule(ruleKind(ruletype::kVideo)->priority) {}

int32_t QXVideoRule::typeId() const {
    return ruletype::kVideo;
}

std::wstring QXVideoRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::shared_ptr<QXRule> QXVideoRule::clone() const {
    auto copy = std::make_shared<QXVideoRule>();
    copyEvalTo(*copy);
    return copy;
}

std::wstring_view QXVideoRule::label(int32_t index) {
    if (index < 0 || index >= kPropertyCount) return {};
    return kLabels[index];
}

bool QXVideoRule::matches(const QXVideoHolder& holder) const {
    if (!holder.ready) return false;
    switch (property()) {
        case kWidth:
            return compareInteger(holder.width, op(), value());
        case kHeight:
            return compareInteger(holder.height, op(), value());
        case kLength:
            // Without a frame rate the length is unknown, not 0.
            if (holder.framesPerSecond <= 0) return false;
            return compareInteger(holder.lengthSeconds(), op(), value());
        default:
            return false;
    }
}

bool QXVideoRule::test(QXFileInfo& file) const {
    return matches(fetchVideo(file));
}

}  // namespace quenrix
