#include "rule/QXFileSizeRule.h"

#include <limits>

#include "rule/QXRuleRegistry.h"
#include "rule/QXRuleText.h"

namespace quenrix {

namespace {

const wchar_t* const kFunctionWords[] = {L"一致", L"一致しない", L"以上", L"以下"};
const wchar_t* const kUnitNames[] = {L"Byte", L"KByte", L"MByte", L"GByte", L"TByte"};
constexpr uint64_t kUnitBytes[] = {1ULL, 1000ULL, 1000000ULL, 1000000000ULL, 1000000000000ULL};

}  // namespace

QXFileSizeRule::QXFileSizeRule() : QXRule(ruleKind(ruletype::kFileSize)->priority) {}

int32_t QXFileSizeRule::typeId() const {
    return ruletype::kFileSize;
}

std::wstring QXFileSizeRule::kindName() const {
    return ruleKind(typeId())->kindName;
}

std::wstring QXFileSizeRule::functionWord(int32_t f) {
    if (f < 0 || f >= kFunctionCount) return std::wstring();
    return kFunctionWords[f];
}

std::wstring QXFileSizeRule::unitName(int32_t u) {
    if (u < 0 || u >= kUnitCount) return std::wstring();
    return kUnitNames[u];
}

uint64_t QXFileSizeRule::unitBytes(int32_t u) {
    if (u < 0 || u >= kUnitCount) return 0;
    return kUnitBytes[u];
}

uint64_t QXFileSizeRule::thresholdBytes() const {
    const uint64_t perUnit = unitBytes(m_unit);
    uint64_t bytes;
    if (__builtin_mul_overflow(m_size, perUnit, &bytes)) {
        return std::numeric_limits<uint64_t>::max();
    }
    return bytes;
}

bool QXFileSizeRule::match(uint64_t bytes) const {
    // An unknown unit (only from a hand-edited document) gives no threshold at all;
    // reading it as 0 bytes would make "以上" match every file.
    if (unitBytes(m_unit) == 0) return false;
    const uint64_t threshold = thresholdBytes();
    switch (m_function) {
        case kEqual:
            return bytes == threshold;
        case kNotEqual:
            return bytes != threshold;
        case kAtLeast:
            return bytes >= threshold;
        case kAtMost:
            return bytes <= threshold;
        default:
            return false;
    }
}

bool QXFileSizeRule::apply(const QXFileList& files, QXRuleHost& host) {
    return applyEach(files, host, [this](QXFileInfo& file) { return match(file.size()); });
}

std::wstring QXFileSizeRule::description() const {
    const std::wstring unit = unitName(m_unit);
    const std::wstring word = functionWord(m_function);
    return L"\"" + std::to_wstring(m_size) + L" " +
           (unit.empty() ? std::to_wstring(m_unit) : unit) + L"\" " +
           (word.empty() ? std::to_wstring(m_function) : word);
}

std::shared_ptr<QXRule> QXFileSizeRule::clone() const {
    auto copy = std::make_shared<QXFileSizeRule>();
    copy->m_size = m_size;
    copy->m_function = m_function;
    copy->m_unit = m_unit;
    copyBaseTo(*copy);
    return copy;
}

void QXFileSizeRule::writeOwnPairs(QXRulePairs& out) const {
    out.emplace_back(L"size", std::to_wstring(m_size));
    out.emplace_back(L"func", std::to_wstring(m_function));
    out.emplace_back(L"unit", std::to_wstring(m_unit));
}

void QXFileSizeRule::writeOwnLines(std::wstring& out) const {
    appendLine(out, L"size", std::to_wstring(m_size));
    appendLine(out, L"func", std::to_wstring(m_function));
    appendLine(out, L"unit", std::to_wstring(m_unit));
}

bool QXFileSizeRule::readOwnPair(const std::wstring& key, const std::wstring& value) {
    if (key == L"size") {
        m_size = readUInt64(value);
    } else if (key == L"func") {
        m_function = readInt32(value);
    } else if (key == L"unit") {
        m_unit = readInt32(value);
    }
    return true;
}

}  // namespace quenrix
