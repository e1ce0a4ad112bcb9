#include "rule/QXEvalRule.h"

#include <charconv>
#include <cmath>
#include <cwctype>
#include <string>

#include "platform/Text.h"
#include "platform/Times.h"
#include "rule/QXRuleText.h"
#include "tovy/TovDate.h"

namespace quenrix {

namespace {

const wchar_t* const kOperatorLabels[QXEvalRule::kOperatorCount] = {
    L"に次を含む",     L"に次を含まない",
    L"が次と一致",     L"が次と一致しない",
    L"が次より大きい", L"が次より大きい、もしくは一致",
    L"が次より小さい", L"が次より小さい、もしくは一致",
    L"が次より前",     L"が次より前、もしくは一致",
    L"が次より後",     L"が次より後、もしくは一致",
};

// The machine epsilon of a double: two reals closer than this are the same value.
constexpr double kRealEpsilon = 2.220446049250313e-16;

std::wstring_view trimmed(std::wstring_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::iswspace(wint_t(text[begin]))) ++begin;
    while (end > begin && std::iswspace(wint_t(text[end - 1]))) --end;
    return text.substr(begin, end - begin);
}

// The result of an ordering operator (2 to 7) for a comparison result c (<0, 0, >0);
// false for every other operator.
bool ordered(int c, int32_t op) {
    switch (op) {
        case QXEvalRule::kEqual:
            return c == 0;
        case QXEvalRule::kNotEqual:
            return c != 0;
        case QXEvalRule::kGreater:
            return c > 0;
        case QXEvalRule::kGreaterOrEqual:
            return c >= 0;
        case QXEvalRule::kLess:
            return c < 0;
        case QXEvalRule::kLessOrEqual:
            return c <= 0;
        default:
            return false;
    }
}

// The number at the start of the text, as _wtof reads it (leading white space, then the
// longest prefix that reads as a decimal real; 0 without one). Independent of the
// locale's decimal point, which the desktop environment may make a comma.
double readReal(std::wstring_view text) {
    text = trimmed(text);
    std::string ascii;
    for (wchar_t c : text) {
        if (c <= 0 || c >= 0x80) break;
        ascii.push_back(char(c));
    }
    const char* first = ascii.data();
    const char* last = first + ascii.size();
    bool negative = false;
    if (first != last && (*first == '+' || *first == '-')) {
        negative = *first == '-';
        ++first;
    }
    // A second sign is no number.
    if (first != last && (*first == '+' || *first == '-')) return 0.0;
    double value = 0.0;
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        value = HUGE_VAL;  // only an overflow reaches here in practice
    } else if (result.ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

// The text read as a time in the first of the accepted forms that fits.
bool parseDateTime(std::wstring_view text, platform::FILETIME& out) {
    return tovy::parseSlashDate(text, out) || tovy::parseExifDate(text, out) ||
           tovy::parseIsoDate(text, out) || tovy::parseRfcDate(text, out);
}

// The start of the local day the time falls on; the time itself when it cannot be
// converted.
platform::FILETIME startOfLocalDay(platform::FILETIME time) {
    platform::SYSTEMTIME local;
    if (!platform::fileTimeToLocalSystemTime(time, local)) return time;
    local.wHour = 0;
    local.wMinute = 0;
    local.wSecond = 0;
    local.wMilliseconds = 0;
    platform::FILETIME out;
    if (!platform::localSystemTimeToFileTime(local, out)) return time;
    return out;
}

}  // namespace

std::wstring_view QXEvalRule::operatorLabel(int32_t op) {
    if (op < 0 || op >= kOperatorCount) return {};
    return kOperatorLabels[op];
}

bool QXEvalRule::apply(const QXFileList& files, QXRuleHost& host) {
    return applyEach(files, host, [this](QXFileInfo& file) { return test(file); });
}

std::wstring QXEvalRule::description() const {
    std::wstring property(propertyLabel(m_lhs));
    if (property.empty()) property = std::to_wstring(m_lhs);
    std::wstring op(operatorLabel(m_ope));
    if (op.empty()) op = std::to_wstring(m_ope);
    return property + L" " + op + L" '" + displayValue() + L"'";
}

void QXEvalRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"lhs", std::to_wstring(m_lhs));
    out.emplace_back(L"ope", std::to_wstring(m_ope));
    out.emplace_back(L"rhs", quotePairText(m_rhs));
}

void QXEvalRule::writeOwnLines(std::wstring& out) const {
    appendLine(out, L"lhs", std::to_wstring(m_lhs));
    appendLine(out, L"ope", std::to_wstring(m_ope));
    appendLine(out, L"rhs", quoteLineText(m_rhs));
}

bool QXEvalRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"lhs") {
        m_lhs = readInt32(value);
    } else if (key == L"ope") {
        m_ope = readInt32(value);
    } else if (key == L"rhs") {
        m_rhs = value;
    }
    return true;
}

void QXEvalRule::copyEvalTo(QXEvalRule& other) const {
    other.m_lhs = m_lhs;
    other.m_ope = m_ope;
    other.m_rhs = m_rhs;
    copyBaseTo(other);
}

bool QXEvalRule::compareText(std::wstring_view fileText, int32_t op, std::wstring_view given) {
    const std::wstring left = platform::toLower(trimmed(fileText));
    const std::wstring right = platform::toLower(trimmed(given));
    if (op == kContains) return left.find(right) != std::wstring::npos;
    if (op == kNotContains) return left.find(right) == std::wstring::npos;
    return ordered(left.compare(right), op);
}

bool QXEvalRule::compareInteger(int64_t fileValue, int32_t op, std::wstring_view given) {
    const int64_t right = readInt32(given);
    return ordered(fileValue < right ? -1 : (fileValue > right ? 1 : 0), op);
}

bool QXEvalRule::compareReal(double fileValue, int32_t op, std::wstring_view given) {
    const double right = readReal(given);
    switch (op) {
        case kEqual:
            return std::fabs(fileValue - right) < kRealEpsilon;
        case kNotEqual:
            return !(std::fabs(fileValue - right) < kRealEpsilon);
        case kGreater:
            return fileValue > right;
        case kGreaterOrEqual:
            return fileValue >= right;
        case kLess:
            return fileValue < right;
        case kLessOrEqual:
            return fileValue <= right;
        default:
            return false;
    }
}

bool QXEvalRule::compareDateTime(std::wstring_view fileText, int32_t op, std::wstring_view given) {
    platform::FILETIME left;
    platform::FILETIME right;
    if (!parseDateTime(fileText, left) || !parseDateTime(given, right)) return false;
    // A date alone (YYYY/MM/DD) means the whole local day.
    if (given.size() == 10) {
        left = startOfLocalDay(left);
        right = startOfLocalDay(right);
    }
    const uint64_t a = platform::fileTimeTicks(left);
    const uint64_t b = platform::fileTimeTicks(right);
    switch (op) {
        case kEqual:
            return a == b;
        case kNotEqual:
            return a != b;
        case kBefore:
            return a < b;
        case kBeforeOrEqual:
            return a <= b;
        case kAfter:
            return a > b;
        case kAfterOrEqual:
            return a >= b;
        default:
            return false;
    }
}

}  // namespace quenrix
