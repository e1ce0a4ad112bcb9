// The base of the three time rules (creation, last write, last access): compares one time
// of each record with a reference (a stored local date and time, or the local time at the
// start of the rule pass), optionally at a coarser precision or at a distance of a number
// of minutes, hours, days, months or years. The kinds only say which time they read.
//
// Times are compared as local wall-clock values: each record's time is converted from
// UTC with the time-zone rules in force at that instant, the stored reference is taken as
// written.
//
// Held through std::shared_ptr; settings are changed on the user-interface thread, the
// rule pass runs on the search worker.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WinTypes.h"
#include "rule/QXRule.h"

namespace quenrix {

class QXFileTimeRule : public QXRule {
public:
    // Functions.
    static constexpr int32_t kEqual = 0;
    static constexpr int32_t kNotEqual = 1;
    static constexpr int32_t kAtOrAfter = 2;
    static constexpr int32_t kAtOrBefore = 3;
    static constexpr int32_t kWithin = 4;
    static constexpr int32_t kFunctionCount = 5;

    // Time types.
    static constexpr int32_t kCurrentTime = 0;
    static constexpr int32_t kStoredTime = 1;

    // Amount units. Seconds are never offered by the dialog and take no distance test.
    static constexpr int32_t kSeconds = 0;
    static constexpr int32_t kMinutes = 1;
    static constexpr int32_t kHours = 2;
    static constexpr int32_t kDays = 3;
    static constexpr int32_t kMonths = 4;
    static constexpr int32_t kYears = 5;
    static constexpr int32_t kUnitCount = 6;

    // Precisions of functions 0 and 1: the parts of the date that take part.
    static constexpr int32_t kToMinute = 0;
    static constexpr int32_t kToHour = 1;
    static constexpr int32_t kToDay = 2;
    static constexpr int32_t kToMonth = 3;
    static constexpr int32_t kToYear = 4;
    static constexpr int32_t kPrecisionCount = 5;

    bool apply(const QXFileList& files, QXRuleHost& host) override;
    std::wstring description() const override;
    std::wstring kindName() const override;
    void writeOwnPairs(QXRulePairs& out) const override;
    void writeOwnLines(std::wstring& out) const override;
    bool readOwnPair(const std::wstring& key, const std::wstring& value) override;

    // The time of the record this kind compares (UTC).
    virtual platform::FILETIME recordTime(const QXFileInfo& file) const = 0;

    // The reference value a pass compares with when its reference date is `reference`
    // (local): reduced to the precision for functions 0 and 1, as local ticks. False when
    // `reference` is no valid date; the pass then matches nothing.
    bool referenceValue(const platform::SYSTEMTIME& reference, uint64_t& ticks) const;
    // The verdict for a record time (UTC) against a reference value.
    bool matchTime(platform::FILETIME recordUtc, uint64_t reference) const;

    // Words and texts of the description and the dialog; empty for a value out of range.
    static std::wstring functionWord(int32_t f);
    static std::wstring unitWord(int32_t unit);        // description: "秒" ... "年"
    static std::wstring unitDialogText(int32_t unit);  // dialog, units 1 to 5: "分" ... "年"
    static std::wstring precisionText(int32_t precision);

    // The stored local date and time (its day of week is not used).
    const platform::SYSTEMTIME& referenceTime() const { return m_referenceTime; }
    void setReferenceTime(const platform::SYSTEMTIME& time) { m_referenceTime = time; }
    int32_t function() const { return m_function; }
    void setFunction(int32_t function) { m_function = function; }
    int32_t timeType() const { return m_timeType; }
    void setTimeType(int32_t timeType) { m_timeType = timeType; }
    // The distance N; 0 or less switches the distance test off.
    int32_t amount() const { return m_amount; }
    void setAmount(int32_t amount) { m_amount = amount; }
    int32_t amountUnit() const { return m_amountUnit; }
    void setAmountUnit(int32_t unit) { m_amountUnit = unit; }
    int32_t precision() const { return m_precision; }
    void setPrecision(int32_t precision) { m_precision = precision; }

protected:
    explicit QXFileTimeRule(int32_t priority) : QXRule(priority) {}

    // Copies the settings and the base fields into a new rule of a time kind.
    void copyTimeSettingsTo(QXFileTimeRule& other) const;

private:
    bool usesPrecision() const { return m_function == kEqual || m_function == kNotEqual; }
    // Whether the distance |reference - value| keeps the verdict of functions 2 to 4.
    bool distanceHolds(uint64_t reference, uint64_t value) const;

    platform::SYSTEMTIME m_referenceTime;
    int32_t m_function = kAtOrAfter;
    int32_t m_timeType = kCurrentTime;
    int32_t m_amount = 0;
    int32_t m_amountUnit = kMinutes;
    int32_t m_precision = kToMinute;
};

}  // namespace quenrix
