#include "rule/QXFileTimeRule.h"

#include <cwchar>
#include <iterator>

#include "platform/Times.h"
#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

using platform::FILETIME;
using platform::SYSTEMTIME;

const wchar_t* const kFunctionWords[] = {L"と一致", L"と一致しない", L"以降", L"以前", L"以内"};
const wchar_t* const kUnitWords[] = {L"秒", L"分", L"時間", L"日", L"ヶ月", L"年"};
const wchar_t* const kUnitDialogTexts[] = {L"", L"分", L"時", L"日", L"月", L"年"};
const wchar_t* const kPrecisionTexts[] = {L"年:月:日:時:分", L"年:月:日:時", L"年:月:日", L"年:月",
                                          L"年"};

// 100-ns ticks of the fixed-length units 1 to 3.
constexpr uint64_t kUnitTicks[] = {0, 600000000ULL, 36000000000ULL, 864000000000ULL};

// Ticks below a millisecond, which SYSTEMTIME cannot hold.
constexpr uint64_t kTicksPerMillisecond = 10000;

std::wstring wordOf(const wchar_t* const* words, size_t count, int32_t i) {
    if (i < 0 || size_t(i) >= count) return std::wstring();
    return words[i];
}

// Drops the parts of the date and time finer than the precision.
void reduceToPrecision(SYSTEMTIME& t, int32_t precision) {
    t.wSecond = 0;
    t.wMilliseconds = 0;
    if (precision >= QXFileTimeRule::kToHour && precision <= QXFileTimeRule::kToYear) {
        t.wMinute = 0;
    }
    if (precision >= QXFileTimeRule::kToDay && precision <= QXFileTimeRule::kToYear) {
        t.wHour = 0;
    }
    if (precision == QXFileTimeRule::kToMonth || precision == QXFileTimeRule::kToYear) {
        t.wDay = 1;
    }
    if (precision == QXFileTimeRule::kToYear) t.wMonth = 1;
}

// A UTC time as local wall-clock ticks, with the zone rules of that instant.
bool toLocalTicks(FILETIME utc, uint64_t& ticks) {
    SYSTEMTIME local;
    FILETIME value;
    if (!platform::fileTimeToLocalSystemTime(utc, local) ||
        !platform::systemTimeToFileTime(local, value)) {
        return false;
    }
    // Zone offsets are whole seconds, so the sub-millisecond ticks carry over unchanged.
    ticks = platform::fileTimeTicks(value) + platform::fileTimeTicks(utc) % kTicksPerMillisecond;
    return true;
}

std::wstring formatNumber(const wchar_t* format, int value) {
    wchar_t buffer[32];
    std::swprintf(buffer, std::size(buffer), format, value);
    return buffer;
}

}  // namespace

std::wstring QXFileTimeRule::functionWord(int32_t f) {
    return wordOf(kFunctionWords, std::size(kFunctionWords), f);
}

std::wstring QXFileTimeRule::unitWord(int32_t unit) {
    return wordOf(kUnitWords, std::size(kUnitWords), unit);
}

std::wstring QXFileTimeRule::unitDialogText(int32_t unit) {
    return wordOf(kUnitDialogTexts, std::size(kUnitDialogTexts), unit);
}

std::wstring QXFileTimeRule::precisionText(int32_t precision) {
    return wordOf(kPrecisionTexts, std::size(kPrecisionTexts), precision);
}

std::wstring QXFileTimeRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

bool QXFileTimeRule::referenceValue(const SYSTEMTIME& reference, uint64_t& ticks) const {
    SYSTEMTIME r = reference;
    if (usesPrecision()) reduceToPrecision(r, m_precision);
    FILETIME value;
    if (!platform::systemTimeToFileTime(r, value)) return false;
    ticks = platform::fileTimeTicks(value);
    return true;
}

bool QXFileTimeRule::distanceHolds(uint64_t reference, uint64_t value) const {
    const uint64_t distance = reference > value ? reference - value : value - reference;
    const uint64_t n = uint64_t(m_amount);
    bool atLeastN = false;  // any other unit counts as less than N
    if (m_amountUnit >= kMinutes && m_amountUnit <= kDays) {
        atLeastN = distance / kUnitTicks[m_amountUnit] >= n;
    } else if (m_amountUnit == kMonths || m_amountUnit == kYears) {
        // The distance read as a date counted from 1601-01-01: 31 days is 1601-02-01, one
        // month; 30 days is 1601-01-31, none.
        SYSTEMTIME d;
        if (platform::fileTimeToSystemTime(platform::fileTimeFromTicks(distance), d)) {
            const uint64_t years = d.wYear - 1601u;
            const uint64_t count = m_amountUnit == kYears ? years : 12 * years + (d.wMonth - 1u);
            atLeastN = count >= n;
        }
    }
    return m_function == kWithin ? !atLeastN : atLeastN;
}

bool QXFileTimeRule::matchTime(FILETIME recordUtc, uint64_t reference) const {
    uint64_t value;
    if (!toLocalTicks(recordUtc, value)) return false;
    if (usesPrecision()) {
        SYSTEMTIME t;
        FILETIME reduced;
        if (!platform::fileTimeToSystemTime(platform::fileTimeFromTicks(value), t)) return false;
        reduceToPrecision(t, m_precision);
        if (!platform::systemTimeToFileTime(t, reduced)) return false;
        value = platform::fileTimeTicks(reduced);
    }
    bool result;
    switch (m_function) {
        case kEqual:
            result = value == reference;
            break;
        case kNotEqual:
            result = value != reference;
            break;
        case kAtOrAfter:
        case kWithin:
            result = value >= reference;
            break;
        case kAtOrBefore:
            result = value <= reference;
            break;
        default:
            return false;
    }
    if (result && !usesPrecision() && m_amount > 0) result = distanceHolds(reference, value);
    return result;
}

bool QXFileTimeRule::apply(const QXFileList& files, QXRuleHost& host) {
    // The current time is read once, so every record of the pass meets the same moment.
    const SYSTEMTIME reference =
        m_timeType == kStoredTime ? m_referenceTime : platform::currentLocalTime();
    uint64_t value = 0;
    const bool valid = referenceValue(reference, value);
    return applyEach(files, host,
                     [&](QXFileInfo& file) { return valid && matchTime(recordTime(file), value); });
}

std::wstring QXFileTimeRule::description() const {
    std::wstring reference;
    if (m_timeType == kStoredTime) {
        // Cut after the hour, day, month or year for precisions 1 to 4. Built part by
        // part, so a field wider than its format (only from a hand-edited document) does
        // not shift the cut.
        const SYSTEMTIME& t = m_referenceTime;
        int parts = 5;
        if (m_precision >= kToHour && m_precision <= kToYear) parts = 5 - m_precision;
        reference = formatNumber(L"%4d年", t.wYear);
        if (parts >= 2) reference += formatNumber(L"%2d月", t.wMonth);
        if (parts >= 3) reference += formatNumber(L"%2d日", t.wDay);
        if (parts >= 4) reference += formatNumber(L" %2d時", t.wHour);
        if (parts >= 5) reference += formatNumber(L"%2d分", t.wMinute);
    } else {
        reference = L"現在の時間";
    }

    std::wstring word = functionWord(m_function);
    if (word.empty()) word = std::to_wstring(m_function);
    std::wstring condition = word;
    // Only a positive amount takes part in the test, so only that one is shown.
    if (m_function >= kAtOrAfter && m_function <= kWithin && m_amount > 0) {
        std::wstring unit = unitWord(m_amountUnit);
        if (unit.empty()) unit = std::to_wstring(m_amountUnit);
        condition = L"から " + std::to_wstring(m_amount) + L" " + unit + word;
    }
    return kindName() + L"：\"" + reference + L"\" " + condition;
}

void QXFileTimeRule::copyTimeSettingsTo(QXFileTimeRule& other) const {
    other.m_referenceTime = m_referenceTime;
    other.m_function = m_function;
    other.m_timeType = m_timeType;
    other.m_amount = m_amount;
    other.m_amountUnit = m_amountUnit;
    other.m_precision = m_precision;
    copyBaseTo(other);
}

namespace {

std::wstring timeValue(const SYSTEMTIME& t) {
    std::wstring out;
    for (uint16_t v : {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}) {
        if (!out.empty()) out += L',';
        out += std::to_wstring(v);
    }
    return out;
}

SYSTEMTIME readTimeValue(const std::wstring& value) {
    SYSTEMTIME t;
    uint16_t* fields[] = {&t.wYear,   &t.wMonth,  &t.wDay,         &t.wHour,
                          &t.wMinute, &t.wSecond, &t.wMilliseconds};
    size_t start = 0;
    for (uint16_t* field : fields) {
        if (start > value.size()) break;
        size_t comma = value.find(L',', start);
        if (comma == std::wstring::npos) comma = value.size();
        *field = uint16_t(readInt32(std::wstring_view(value).substr(start, comma - start)));
        start = comma + 1;
    }
    return t;
}

}  // namespace

void QXFileTimeRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"time", timeValue(m_referenceTime));
    out.emplace_back(L"timeType", std::to_wstring(m_timeType));
    out.emplace_back(L"func", std::to_wstring(m_function));
    out.emplace_back(L"funcParam", std::to_wstring(m_amount));
    out.emplace_back(L"funcParamUnit", std::to_wstring(m_amountUnit));
    out.emplace_back(L"funcParamTime", std::to_wstring(m_precision));
}

void QXFileTimeRule::writeOwnLines(std::wstring& out) const {
    QXRulePairs pairs;
    writeOwnPairs(pairs);  // no text settings: the line form holds the same values
    for (const auto& [key, value] : pairs) appendLine(out, key, value);
}

bool QXFileTimeRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"time") {
        m_referenceTime = readTimeValue(value);
    } else if (key == L"timeType") {
        m_timeType = readInt32(value);
    } else if (key == L"func") {
        m_function = readInt32(value);
    } else if (key == L"funcParam") {
        m_amount = readInt32(value);
    } else if (key == L"funcParamUnit") {
        m_amountUnit = readInt32(value);
    } else if (key == L"funcParamTime") {
        m_precision = readInt32(value);
    }
    return true;
}

}  // namespace quenrix
