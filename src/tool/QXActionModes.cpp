#include "tool/QXActionModes.h"

namespace quenrix {

namespace {

constexpr QXActionMode kModes[kActionModeCount] = {
    {kModeDelete, L"削除", L"削除", L"[ 削除 ]", L"Delete mode: Normal"},
    {kModeRecycle, L"ゴミ箱へ削除", L"ゴミ箱へ削除", L"[ ごみ箱へ削除 ]", L"Delete mode: Recycle"},
    {kModeFill00, L"0x00で上書き", L"0x00で上書きして削除", L"[ 0x00で上書き削除 ]",
     L"Delete mode: fill zero"},
    {kModeFillFF, L"0xFFで上書き", L"0xFFで上書きして削除", L"[ 0xFFで上書き削除 ]",
     L"Delete mode: fill 0xff"},
    {kModeFillRandom, L"乱数で上書き", L"乱数で上書きして削除", L"[ 乱数で上書き削除 ]",
     L"Delete mode: fill random"},
    {kModeDoDShort, L"DoD 5220.22-M Short", L"DoD 5220.22-M Short 準拠で処理して削除",
     L"[ DoD 5220.22-M Short 準拠で処理して削除 ]", L"Delete mode: DoD 5220.22-M Short"},
    {kModeDoD, L"DoD 5220.22-M", L"DoD 5220.22-M 準拠で処理して削除",
     L"[ DoD 5220.22-M 準拠で処理して削除 ]", L"Delete mode: DoD 5220.22-M"},
    {kModeCopy, L"コピー先...", nullptr, L"[ コピー ]", L"Delete mode: Copy to [%s]"},
    {kModeMove, L"移動先...", nullptr, L"[ 移動 ]", L"Delete mode: Move to [%s]"},
    {kModeCopyKeepTree, L"コピー先...（階層構造を維持）", nullptr, L"[ コピー（階層構造維持）]",
     L"Delete mode: Copy to [%s] (keep tree)"},
    {kModeMoveKeepTree, L"移動先...（階層構造を維持）", nullptr, L"[ 移動（階層構造維持）]",
     L"Delete mode: Move to [%s] (keep tree)"},
    {kModeEmptyFolders, L"空フォルダ", nullptr, nullptr, nullptr},
};

}  // namespace

const QXActionMode* actionMode(int32_t mode) {
    if (mode < 1 || mode > kActionModeCount) return nullptr;
    return &kModes[mode - 1];
}

}  // namespace quenrix
