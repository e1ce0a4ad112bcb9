#include "rule/QXExifRule.h"

#include <cwctype>
#include <limits>

#include "core/QXExifLabels.h"
#include "rule/QXMetadataFetch.h"
#include "rule/QXRuleRegistry.h"

namespace quenrix {

namespace {

enum class Comparison { kText, kDateTime, kInteger, kReal, kShutter };

struct Property {
    const wchar_t* label;
    const char* valueName;
    Comparison comparison;
};

constexpr Property kProperties[QXExifRule::kPropertyCount] = {
    {L"メーカー", "CameraMake", Comparison::kText},
    {L"モデル", "CameraModel", Comparison::kText},
    {L"ソフトウェア", "Software", Comparison::kText},
    {L"コメント", "Comment", Comparison::kText},
    {L"著作権", "Copyright", Comparison::kText},
    {L"撮影日時", "DateTime", Comparison::kDateTime},
    {L"幅", "ImageWidth", Comparison::kInteger},
    {L"高さ", "ImageHeight", Comparison::kInteger},
    {L"絞り", "FNumber", Comparison::kReal},
    {L"シャッター速度", "ExposureTime", Comparison::kShutter},
    {L"ISO 感度", "ISOEquivalent", Comparison::kInteger},
    {L"露出プログラム", "ExposureProgram", Comparison::kInteger},
    {L"露出モード", "ExposureMode", Comparison::kInteger},
    {L"フラッシュ", "Flash", Comparison::kInteger},
    {L"ホワイトバランス", "Whitebalance", Comparison::kInteger},
    {L"光源", "LightSource", Comparison::kInteger},
    {L"測光方式", "MeteringMode", Comparison::kInteger},
};

using CodeLabel = QXExifRule::CodeLabel;

constexpr auto& kExposurePrograms = kExifExposurePrograms;
constexpr auto& kExposureModes = kExifExposureModes;
constexpr auto& kFlashes = kExifFlashes;
constexpr auto& kWhiteBalances = kExifWhiteBalances;
constexpr auto& kLightSources = kExifLightSources;

constexpr CodeLabel kMeteringModes[] = {
    {0, L"不明"},           {1, L"平均"},     {2, L"中央重点"}, {3, L"スポット"},
    {4, L"マルチスポット"}, {5, L"分割測光"}, {6, L"部分測光"},
};

const wchar_t* const kMakers[] = {
    L"Canon",          L"Epson",  L"Fujifilm", L"Hasselblad", L"Kodak",
    L"Konica Minolta", L"Leaf",   L"Leica",    L"Nikon",      L"Olympus",
    L"Panasonic",      L"Pentax", L"Samsung",  L"Sony",       L"Ricoh",
};

const wchar_t* const kModels[] = {
    L"Canon EOS 1D",
    L"Canon EOS 1D Mark II",
    L"Canon EOS 1D Mark IIN",
    L"Canon EOS 1D Mark III",
    L"Canon EOS 1Ds",
    L"Canon EOS 1Ds Mark II",
    L"Canon EOS 1Ds Mark III",
    L"Canon EOS 1D Mark IV",
    L"Canon EOS 5D",
    L"Canon EOS 5D Mark II",
    L"Canon EOS 7D",
    L"Canon EOS 10D",
    L"Canon EOS 20D",
    L"Canon EOS 30D",
    L"Canon EOS 40D",
    L"Canon EOS 50D",
    L"Canon EOS 500D",
    L"Canon EOS D30",
    L"Canon EOS D60",
    L"Canon EOS Digital Rebel XS",
    L"Canon EOS Digital Rebel",
    L"Canon EOS Digital Rebel XT",
    L"Canon EOS Digital Rebel XTi",
    L"Canon EOS Digital Rebel XSi",
    L"Canon EOS Kiss Digital X3",
    L"Canon EOS Rebel T1i",
    L"Canon PowerShot G5",
    L"Canon PowerShot G6",
    L"Canon PowerShot G9",
    L"Canon PowerShot G10",
    L"Canon PowerShot G11",
    L"Canon PowerShot Pro 1",
    L"Canon PowerShot S60",
    L"Canon PowerShot S70",
    L"Canon PowerShot S90",
    L"Canon sRAW",
    L"Canon mRAW",
    L"Epson R-D1",
    L"Epson R-D1x",
    L"Fujifilm FinePix S2 Pro",
    L"Fujifilm FinePix S3 Pro",
    L"Fujifilm FinePix S5 Pro",
    L"Hasselblad CF-22",
    L"Hasselblad CF-39",
    L"Hasselblad CFV-16",
    L"Hasselblad H3D-31",
    L"Hasselblad H3D-31II",
    L"Hasselblad H3DII-50",
    L"Kodak DCS Pro SLR",
    L"KonicaMinolta DiMAGE A1",
    L"KonicaMinolta DiMAGE A2",
    L"KonicaMinolta Maxxum 5D",
    L"KonicaMinolta Maxxum 7D",
    L"Leaf AFi 5",
    L"Leaf AFi 6",
    L"Leaf AFi 7",
    L"Leaf AFi-II 6",
    L"Leaf AFi-II 7",
    L"Leaf Aptus 17",
    L"Leaf Aptus 22",
    L"Leaf Aptus 54S",
    L"Leaf Aptus 65",
    L"Leaf Aptus 65S",
    L"Leaf Aptus 75",
    L"Leaf Aptus 75S",
    L"Leaf Aptus-II 6",
    L"Leaf Aptus-II 7",
    L"Leaf Valeo 22",
    L"Leaf Valeo 17",
    L"Leaf Valeo 11",
    L"Leica Digilux 2",
    L"Leica Digilux 3",
    L"Leica M8",
    L"Leica M8",
    L"Leica M9",
    L"Leica X1",
    L"Leica D-LUX 2",
    L"Leica D-LUX 3",
    L"Leica D-LUX 4",
    L"Leica V-LUX 1",
    L"Nikon D1",
    L"Nikon D1X",
    L"Nikon D1H",
    L"Nikon D2H",
    L"Nikon D2Hs",
    L"Nikon D2X",
    L"Nikon D2Xs",
    L"Nikon D3",
    L"Nikon D3s",
    L"Nikon D3X",
    L"Nikon D40",
    L"Nikon D40x",
    L"Nikon D50",
    L"Nikon D60",
    L"Nikon D70",
    L"Nikon D70s",
    L"Nikon D80",
    L"Nikon D90",
    L"Nikon D100",
    L"Nikon D200",
    L"Nikon D300",
    L"Nikon D300s",
    L"Nikon D700",
    L"Nikon D3000",
    L"Nikon D5000",
    L"Nikon Coolpix 8800",
    L"Nikon Coolpix 8700",
    L"Nikon Coolpix 8400",
    L"Nikon Coolpix P6000",
    L"Olympus E-1",
    L"Olympus E-3",
    L"Olympus E-30",
    L"Olympus E-P1",
    L"Olympus E-P2",
    L"Olympus EVOLT E-300",
    L"Olympus EVOLT E-330",
    L"Olympus EVOLT E-400",
    L"Olympus EVOLT E-410",
    L"Olympus EVOLT E-420",
    L"Olympus EVOLT E-500",
    L"Olympus EVOLT E-510",
    L"Olympus EVOLT E-520",
    L"Olympus C-8080 Wide Zoom",
    L"Olympus C-7070",
    L"Olympus C-7000",
    L"Olympus SP-570 UZ",
    L"Panasonic DMC-LC1",
    L"Panasonic Lumix DMC-FZ50",
    L"Panasonic Lumix DMC-G1",
    L"Panasonic Lumix DMC-GF1",
    L"Panasonic Lumix DMC-GH1",
    L"Panasonic Lumix DMC-L1",
    L"Panasonic Lumix DMC-LX1",
    L"Panasonic Lumix DMC-LX2",
    L"Panasonic Lumix DMC-LX3",
    L"Pentax K-x",
    L"Pentax K-7",
    L"Pentax K10D",
    L"Pentax K20D",
    L"Pentax K100D",
    L"Pentax K100D Super",
    L"Pentax K110D",
    L"Pentax K200D",
    L"Pentax K2000",
    L"Samsung GX-1L",
    L"Samsung GX-10",
    L"Samsung GX-20",
    L"Sony DSC-F828",
    L"Sony DSC-R1",
    L"Sony DSC-V3",
    L"Sony DSLR-A100",
    L"Sony DSLR-A200",
    L"Sony DSLR-A300",
    L"Sony DSLR-A350",
    L"Sony DSLR-A700",
    L"Sony DSLR-A900",
    L"Sony Alpha DSLR-A500",
    L"Sony Alpha DSLR-A550",
    L"Sony Alpha DSLR-A850",
};

// The value as a whole decimal number (an optional sign and digits, nothing else but
// surrounding spaces); false for anything else.
bool wholeNumber(std::wstring_view text, int32_t& out) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::iswspace(wint_t(text[begin]))) ++begin;
    while (end > begin && std::iswspace(wint_t(text[end - 1]))) --end;
    if (begin == end) return false;
    size_t i = begin;
    bool negative = false;
    if (text[i] == L'+' || text[i] == L'-') negative = text[i++] == L'-';
    if (i == end) return false;
    int64_t value = 0;
    for (; i < end; ++i) {
        if (text[i] < L'0' || text[i] > L'9') return false;
        value = value * 10 + (text[i] - L'0');
        if (value > std::numeric_limits<int32_t>::max()) return false;
    }
    out = int32_t(negative ? -value : value);
    return true;
}

// A number value as an integer: the integer itself, a fraction's value cut toward zero.
bool integerOf(const QXExifValue& value, int64_t& out) {
    if (value.kind == QXExifValue::kInteger) {
        out = value.integer;
        return true;
    }
    if (value.kind == QXExifValue::kFraction) {
        const double number = value.number();
        if (!(number > -9.3e18 && number < 9.3e18)) return false;
        out = int64_t(number);
        return true;
    }
    return false;
}

}  // namespace

QXExifRule::QXExifRule() : QXEvalRule(ruleKind(ruletype::kExif)->priority) {}

int32_t QXExifRule::typeId() const {
    return ruletype::kExif;
}

std::wstring QXExifRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::shared_ptr<QXRule> QXExifRule::clone() const {
    auto copy = std::make_shared<QXExifRule>();
    copyEvalTo(*copy);
    return copy;
}

std::wstring_view QXExifRule::label(int32_t index) {
    if (index < 0 || index >= kPropertyCount) return {};
    return kProperties[index].label;
}

const char* QXExifRule::valueName(int32_t index) {
    if (index < 0 || index >= kPropertyCount) return nullptr;
    return kProperties[index].valueName;
}

std::span<const QXExifRule::CodeLabel> QXExifRule::codeLabels(int32_t index) {
    switch (index) {
        case kExposureProgram:
            return kExposurePrograms;
        case kExposureMode:
            return kExposureModes;
        case kFlash:
            return kFlashes;
        case kWhiteBalance:
            return kWhiteBalances;
        case kLightSource:
            return kLightSources;
        case kMeteringMode:
            return kMeteringModes;
        default:
            return {};
    }
}

std::wstring_view QXExifRule::codeLabel(int32_t index, int32_t code) {
    for (const CodeLabel& entry : codeLabels(index)) {
        if (entry.code == code) return entry.label;
    }
    return {};
}

std::span<const wchar_t* const> QXExifRule::makerNames() {
    return kMakers;
}

std::span<const wchar_t* const> QXExifRule::modelNames() {
    return kModels;
}

std::wstring QXExifRule::displayValue() const {
    int32_t code = 0;
    if (!codeLabels(property()).empty() && wholeNumber(value(), code)) {
        // Code 0 of the exposure program has an empty label; the number says more.
        const std::wstring_view name = codeLabel(property(), code);
        if (!name.empty()) return std::wstring(name);
    }
    return value();
}

bool QXExifRule::matches(const QXExifHolder& holder) const {
    if (!holder.ready) return false;
    const char* name = valueName(property());
    if (!name) return false;
    const QXExifValue* found = holder.find(name);
    if (!found) return false;
    const Comparison comparison = kProperties[property()].comparison;
    const bool isText = found->kind == QXExifValue::kText;
    switch (comparison) {
        case Comparison::kText:
            return isText && compareText(found->text, op(), value());
        case Comparison::kDateTime:
            return isText && compareDateTime(found->text, op(), value());
        case Comparison::kReal:
            return !isText && compareReal(found->number(), op(), value());
        case Comparison::kShutter: {
            // The denominator of the exposure time: 250 for 1/250 s. An unsigned
            // denominator beyond 31 bits is kept as the largest signed value.
            int64_t speed = 0;
            if (found->kind == QXExifValue::kFraction) {
                speed = found->denominator;
                if (speed < 0 && !found->signedFraction)
                    speed = std::numeric_limits<int32_t>::max();
            } else if (!integerOf(*found, speed)) {
                return false;
            }
            return compareInteger(speed, op(), value());
        }
        case Comparison::kInteger: {
            int64_t number = 0;
            return integerOf(*found, number) && compareInteger(number, op(), value());
        }
    }
    return false;
}

bool QXExifRule::test(QXFileInfo& file) const {
    return matches(fetchExif(file));
}

}  // namespace quenrix
