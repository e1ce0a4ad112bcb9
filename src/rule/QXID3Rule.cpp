#include "rule/QXID3Rule.h"

#include "rule/QXMetadataFetch.h"
#include "rule/QXRuleRegistry.h"

namespace quenrix {

namespace {

const wchar_t* const kLabels[QXID3Rule::kPropertyCount] = {
    L"チャンネル数", L"ビットレート", L"サンプリングレート", L"トラック", L"年",       L"長さ",
    L"アーティスト", L"タイトル",     L"アルバム",           L"ジャンル", L"コメント",
};

}  // namespace

QXID3Rule::QXID3Rule() : QXEvalRule(ruleKind(ruletype::kId3)->priority) {}

int32_t QXID3Rule::typeId() const {
    return ruletype::kId3;
}

std::wstring QXID3Rule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::shared_ptr<QXRule> QXID3Rule::clone() const {
    auto copy = std::make_shared<QXID3Rule>();
    copyEvalTo(*copy);
    return copy;
}

std::wstring_view QXID3Rule::label(int32_t index) {
    if (index < 0 || index >= kPropertyCount) return {};
    return kLabels[index];
}

bool QXID3Rule::matches(const QXId3Holder& holder) const {
    if (!holder.ready) return false;
    switch (property()) {
        case kChannels:
            return compareInteger(holder.channels, op(), value());
        case kBitRate:
            return compareInteger(holder.bitRate, op(), value());
        case kSampleRate:
            return compareInteger(holder.sampleRate, op(), value());
        case kTrack:
            return compareInteger(holder.track, op(), value());
        case kYear:
            return compareInteger(holder.year, op(), value());
        case kLength:
            return compareInteger(holder.length, op(), value());
        case kArtist:
            return compareText(holder.artist, op(), value());
        case kTitle:
            return compareText(holder.title, op(), value());
        case kAlbum:
            return compareText(holder.album, op(), value());
        case kGenre:
            return compareText(holder.genre, op(), value());
        case kComment:
            return compareText(holder.comment, op(), value());
        default:
            return false;
    }
}

bool QXID3Rule::test(QXFileInfo& file) const {
    return matches(fetchId3(file));
}

}  // namespace quenrix
