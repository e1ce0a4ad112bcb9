// The labels of the coded Exif values (exposure program and mode, flash, white balance,
// light source), shared by the Exif rule's suggestions and descriptions and the Exif
// columns. A code missing from a table has no label.
#pragma once

#include <cstdint>

namespace quenrix {

struct QXExifCodeLabel {
    int32_t code;
    const wchar_t* label;
};

inline constexpr QXExifCodeLabel kExifExposurePrograms[] = {
    {0, L""},
    {1, L"マニュアル"},
    {2, L"通常のプログラムAE"},
    {3, L"絞り優先"},
    {4, L"シャッター速度"},
    {5, L"低速プログラム"},
    {6, L"高速プログラム"},
    {7, L"ポートレートモード"},
    {8, L"風景モード"},
};

inline constexpr QXExifCodeLabel kExifExposureModes[] = {
    {0, L"自動露光"},
    {1, L"マニュアル露光"},
    {2, L"自動ブラケット"},
};

inline constexpr QXExifCodeLabel kExifFlashes[] = {
    {0, L"フラッシュなし"},
    {1, L"フラッシュあり"},
    {5, L"フラッシュあり、リターン検出されず"},
    {7, L"フラッシュあり、リターン検出"},
    {9, L"フラッシュあり、強制発光モード"},
    {13, L"フラッシュあり、強制発光モード、リターン検出されず"},
    {15, L"フラッシュあり、強制発光モード、リターン検出"},
    {16, L"フラッシュなし、強制非発光モード"},
    {24, L"フラッシュなし、自動発光モード"},
    {25, L"フラッシュあり、自動発光モード"},
    {29, L"フラッシュあり、自動発光モード、リターン検出されず"},
    {31, L"フラッシュあり、自動発光モード、リターン検出"},
    {32, L"フラッシュ機能なし"},
    {65, L"フラッシュあり、赤目軽減モード"},
    {69, L"フラッシュあり、赤目軽減モード、リターン検出されず"},
    {71, L"フラッシュあり、赤目軽減モード、リターン検出"},
    {73, L"フラッシュあり、強制発光モード、赤目軽減モード"},
    {77, L"フラッシュあり、強制発光モード、赤目軽減モード、リターン検出されず"},
    {79, L"フラッシュあり、強制発光モード、赤目軽減モード、リターン検出"},
    {89, L"フラッシュあり、自動発光モード、赤目軽減モード"},
    {93, L"フラッシュあり、自動発光モード、赤目軽減モード、リターン検出されず"},
    {95, L"フラッシュあり、自動発光モード、赤目軽減モード、リターン検出"},
};

inline constexpr QXExifCodeLabel kExifWhiteBalances[] = {
    {0, L"オート"},
    {1, L"マニュアル"},
};

inline constexpr QXExifCodeLabel kExifLightSources[] = {
    {0, L"不明"},
    {1, L"昼光"},
    {2, L"蛍光灯"},
    {3, L"タングステン"},
    {4, L"フラッシュ"},
    {9, L"晴れ"},
    {10, L"曇り"},
    {11, L"日陰"},
    {12, L"Daylight 蛍光灯"},
    {13, L"Day white 蛍光灯"},
    {14, L"Cool white 蛍光灯"},
    {15, L"White 蛍光灯"},
    {17, L"標準光A"},
    {18, L"標準光B"},
    {19, L"標準光C"},
    {20, L"D55"},
    {21, L"D65"},
    {22, L"D75"},
    {23, L"D50"},
    {24, L"ISOスタジオ・タングステン"},
    {255, L"その他"},
};

}  // namespace quenrix
