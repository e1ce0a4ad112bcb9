// The time kinds: one time of the record against a stored or current local reference,
// at a precision or at a distance.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/Times.h"
#include "rule/QXCreateTimeRule.h"
#include "rule/QXLastAccessTimeRule.h"
#include "rule/QXLastUpdatedTimeRule.h"
#include "rule/QXRuleRegistry.h"
#include "tovy/TovUtf8.h"

namespace quenrix {
namespace {

using platform::SYSTEMTIME;

class SilentHost : public QXRuleHost {
public:
    bool cancelled() const override { return false; }
    void showFile(const QXFileInfo&) override {}
    void report(int) override {}
};

// Central European time with its summer time, for the whole test.
class TimeRuleTest : public testing::Test {
protected:
    void SetUp() override {
        const char* old = getenv("TZ");
        m_hadOld = old != nullptr;
        if (old) m_old = old;
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override {
        if (m_hadOld) {
            setenv("TZ", m_old.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool m_hadOld = false;
    std::string m_old;
};

SYSTEMTIME at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    SYSTEMTIME t;
    t.wYear = uint16_t(y);
    t.wMonth = uint16_t(mo);
    t.wDay = uint16_t(d);
    t.wHour = uint16_t(h);
    t.wMinute = uint16_t(mi);
    t.wSecond = uint16_t(s);
    t.wMilliseconds = uint16_t(ms);
    return t;
}

// When a record's time lies: a local wall-clock time, a UTC time, or seconds from now.
struct FileAt {
    enum Kind { kLocal, kUtc, kFromNow } kind;
    SYSTEMTIME time;
    int64_t seconds = 0;
    int64_t extraNs = 0;

    int64_t unixNs() const {
        platform::FILETIME ft;
        switch (kind) {
            case kLocal:
                EXPECT_TRUE(platform::localSystemTimeToFileTime(time, ft));
                break;
            case kUtc:
                EXPECT_TRUE(platform::systemTimeToFileTime(time, ft));
                break;
            case kFromNow:
                ft = platform::currentFileTime();
                return platform::unixNsFromFileTime(ft) + seconds * 1000000000;
        }
        return platform::unixNsFromFileTime(ft) + extraNs;
    }
};
FileAt local(SYSTEMTIME t, int64_t extraNs = 0) {
    return {FileAt::kLocal, t, 0, extraNs};
}
FileAt utc(SYSTEMTIME t) {
    return {FileAt::kUtc, t};
}
FileAt fromNow(int64_t seconds) {
    return {FileAt::kFromNow, SYSTEMTIME{}, seconds};
}

constexpr int64_t kDay = 86400;

QXFileInfoPtr recordAt(int64_t ns) {
    platform::FileStat st;
    st.createNs = st.writeNs = st.accessNs = ns;
    return std::make_shared<QXFileInfo>("/data/f", st);
}

TEST_F(TimeRuleTest, MatchTable) {
    const SYSTEMTIME ref = at(2024, 3, 5, 10, 20);
    const SYSTEMTIME none{};
    enum { EQ, NE, AFTER, BEFORE, WITHIN };
    enum { SEC, MIN, HOUR, DAY, MONTH, YEAR };
    struct {
        const char* name;
        int32_t function;
        bool stored;
        SYSTEMTIME reference;
        int32_t amount;
        int32_t unit;
        int32_t precision;
        FileAt file;
        bool expected;
    } cases[] = {
        {"day: start of the day", EQ, true, ref, 0, MIN, 2, local(at(2024, 3, 5)), true},
        {"day: end of the day", EQ, true, ref, 0, MIN, 2, local(at(2024, 3, 5, 23, 59, 59)), true},
        {"day: next day", EQ, true, ref, 0, MIN, 2, local(at(2024, 3, 6)), false},
        {"day: day before", EQ, true, ref, 0, MIN, 2, local(at(2024, 3, 4, 23, 59)), false},
        {"day, differs: next day", NE, true, ref, 0, MIN, 2, local(at(2024, 3, 6)), true},
        {"day, differs: same day", NE, true, ref, 0, MIN, 2, local(at(2024, 3, 5, 8)), false},
        {"minute: seconds ignored", EQ, true, ref, 0, MIN, 0, local(at(2024, 3, 5, 10, 20, 59)),
         true},
        {"minute: next minute", EQ, true, ref, 0, MIN, 0, local(at(2024, 3, 5, 10, 21)), false},
        {"hour", EQ, true, ref, 0, MIN, 1, local(at(2024, 3, 5, 10, 59)), true},
        {"hour: next hour", EQ, true, ref, 0, MIN, 1, local(at(2024, 3, 5, 11)), false},
        {"month", EQ, true, ref, 0, MIN, 3, local(at(2024, 3, 31, 23)), true},
        {"month: next month", EQ, true, ref, 0, MIN, 3, local(at(2024, 4, 1)), false},
        {"year", EQ, true, ref, 0, MIN, 4, local(at(2024, 12, 31, 23, 59)), true},
        {"year: next year", EQ, true, ref, 0, MIN, 4, local(at(2025, 1, 1)), false},
        {"unknown precision cuts seconds only", EQ, true, ref, 0, MIN, 9,
         local(at(2024, 3, 5, 10, 20, 30)), true},
        // Summer and winter: each instant with its own offset.
        {"summer time", EQ, true, at(2024, 7, 1, 12), 0, MIN, 0, utc(at(2024, 7, 1, 10)), true},
        {"winter time", EQ, true, at(2024, 1, 1, 12), 0, MIN, 0, utc(at(2024, 1, 1, 11)), true},
        // No amount: full precision, no reduction.
        {"after: the reference itself", AFTER, true, ref, 0, MIN, 4, local(ref), true},
        {"after: half a second later", AFTER, true, ref, 0, MIN, 4, local(ref, 500000000), true},
        {"after: a second earlier", AFTER, true, ref, 0, MIN, 4, local(at(2024, 3, 5, 10, 19, 59)),
         false},
        {"before: a microsecond later", BEFORE, true, ref, 0, MIN, 0, local(ref, 1000), false},
        {"before: the reference itself", BEFORE, true, ref, 0, MIN, 0, local(ref), true},
        {"within without amount: after", WITHIN, true, ref, 0, MIN, 0, local(at(2030, 1, 1)), true},
        // Distances.
        {"after 2 hours: exactly", AFTER, true, ref, 2, HOUR, 0, local(at(2024, 3, 5, 12, 20)),
         true},
        {"after 2 hours: a minute short", AFTER, true, ref, 2, HOUR, 0,
         local(at(2024, 3, 5, 12, 19)), false},
        {"after 2 hours: before the reference", AFTER, true, ref, 2, HOUR, 0,
         local(at(2024, 3, 5, 8, 20)), false},
        {"within 2 hours: inside", WITHIN, true, ref, 2, HOUR, 0, local(at(2024, 3, 5, 12, 19)),
         true},
        {"within 2 hours: at the end", WITHIN, true, ref, 2, HOUR, 0, local(at(2024, 3, 5, 12, 20)),
         false},
        {"within 2 hours: before the reference", WITHIN, true, ref, 2, HOUR, 0,
         local(at(2024, 3, 5, 10, 19)), false},
        {"after 90 minutes", AFTER, true, ref, 90, MIN, 0, local(at(2024, 3, 5, 11, 50)), true},
        {"after 90 minutes: short", AFTER, true, ref, 90, MIN, 0, local(at(2024, 3, 5, 11, 49)),
         false},
        {"before 30 days: exactly", BEFORE, true, ref, 30, DAY, 0, local(at(2024, 2, 4, 10, 20)),
         true},
        {"before 30 days: a minute short", BEFORE, true, ref, 30, DAY, 0,
         local(at(2024, 2, 4, 10, 21)), false},
        {"before 1 month: 31 days", BEFORE, true, at(2024, 3, 1), 1, MONTH, 0,
         local(at(2024, 1, 30)), true},
        {"before 1 month: 30 days", BEFORE, true, at(2024, 3, 1), 1, MONTH, 0,
         local(at(2024, 1, 31)), false},
        {"within 1 month: 30 days", WITHIN, true, at(2024, 1, 1), 1, MONTH, 0,
         local(at(2024, 1, 31)), true},
        {"after 1 year: 365 days", AFTER, true, at(2024, 3, 1), 1, YEAR, 0, local(at(2025, 3, 1)),
         true},
        {"after 1 year: 364 days", AFTER, true, at(2024, 3, 1), 1, YEAR, 0, local(at(2025, 2, 28)),
         false},
        {"seconds take no distance test: after", AFTER, true, ref, 5, SEC, 0, local(at(2030, 1, 1)),
         false},
        {"seconds take no distance test: within", WITHIN, true, ref, 5, SEC, 0,
         local(at(2030, 1, 1)), true},
        {"unknown unit: within", WITHIN, true, ref, 5, 9, 0, local(at(2030, 1, 1)), true},
        {"negative amount: no distance test", AFTER, true, ref, -3, DAY, 0,
         local(at(2024, 3, 5, 10, 21)), true},
        // The current time.
        {"now, before 30 days: 31 days ago", BEFORE, false, none, 30, DAY, 0, fromNow(-31 * kDay),
         true},
        {"now, before 30 days: 29 days ago", BEFORE, false, none, 30, DAY, 0, fromNow(-29 * kDay),
         false},
        {"now, within 7 days: a second ago", WITHIN, false, none, 7, DAY, 0, fromNow(-1), false},
        {"now, within 7 days: an hour ahead", WITHIN, false, none, 7, DAY, 0, fromNow(3600), true},
        {"now, within 7 days: 8 days ahead", WITHIN, false, none, 7, DAY, 0, fromNow(8 * kDay),
         false},
        {"now, after: a minute ago", AFTER, false, none, 0, MIN, 0, fromNow(-60), false},
        // A stored reference that is no date matches nothing, whatever the function.
        {"31 February, differs", NE, true, at(2024, 2, 31, 10), 0, MIN, 0, local(ref), false},
        {"31 February, before", BEFORE, true, at(2024, 2, 31, 10), 0, MIN, 0, local(at(2000, 1, 1)),
         false},
        {"year 0, after", AFTER, true, at(0, 1, 1), 0, MIN, 0, local(ref), false},
        {"unknown function", 5, true, ref, 0, MIN, 0, local(ref), false},
    };
    for (const auto& c : cases) {
        QXLastUpdatedTimeRule rule;
        rule.setFunction(c.function);
        rule.setTimeType(c.stored ? QXFileTimeRule::kStoredTime : QXFileTimeRule::kCurrentTime);
        rule.setReferenceTime(c.reference);
        rule.setAmount(c.amount);
        rule.setAmountUnit(c.unit);
        rule.setPrecision(c.precision);
        SilentHost host;
        ASSERT_TRUE(rule.apply({recordAt(c.file.unixNs())}, host));
        EXPECT_EQ(rule.verdict(0), c.expected) << c.name;
    }
}

TEST_F(TimeRuleTest, EachKindReadsItsOwnTime) {
    const SYSTEMTIME ref = at(2024, 3, 5, 10, 20);
    auto ns = [](const SYSTEMTIME& t) { return local(t).unixNs(); };
    platform::FileStat st;
    st.createNs = ns(at(2024, 3, 5, 10, 20));
    st.writeNs = ns(at(2024, 3, 6, 10, 20));
    st.accessNs = ns(at(2024, 3, 7, 10, 20));
    QXFileList files = {std::make_shared<QXFileInfo>("/data/f", st)};
    struct {
        int32_t typeId;
        int32_t day;
    } cases[] = {
        {ruletype::kCreateTime, 5},
        {ruletype::kUpdateTime, 6},
        {ruletype::kAccessTime, 7},
    };
    for (const auto& c : cases) {
        for (int day : {5, 6, 7}) {
            auto rule = std::dynamic_pointer_cast<QXFileTimeRule>(createRule(c.typeId));
            rule->setTimeType(QXFileTimeRule::kStoredTime);
            rule->setFunction(QXFileTimeRule::kEqual);
            rule->setPrecision(QXFileTimeRule::kToDay);
            SYSTEMTIME r = ref;
            r.wDay = uint16_t(day);
            rule->setReferenceTime(r);
            SilentHost host;
            ASSERT_TRUE(rule->apply(files, host));
            EXPECT_EQ(rule->verdict(0), day == c.day) << c.typeId << " day " << day;
        }
    }
}

TEST(FileTimeRule, DescriptionTable) {
    struct {
        int32_t typeId;
        bool stored;
        SYSTEMTIME reference;
        int32_t function;
        int32_t amount;
        int32_t unit;
        int32_t precision;
        const wchar_t* expected;
    } cases[] = {
        {ruletype::kCreateTime, true, at(2024, 3, 5, 10, 20), 0, 0, 1, 0,
         L"作成時間：\"2024年 3月 5日 10時20分\" と一致"},
        {ruletype::kCreateTime, true, at(2024, 3, 5, 10, 20), 0, 0, 1, 1,
         L"作成時間：\"2024年 3月 5日 10時\" と一致"},
        {ruletype::kCreateTime, true, at(2024, 3, 5, 10, 20), 1, 0, 1, 2,
         L"作成時間：\"2024年 3月 5日\" と一致しない"},
        {ruletype::kUpdateTime, true, at(2024, 12, 25, 9, 5), 0, 0, 1, 3,
         L"更新時間：\"2024年12月\" と一致"},
        {ruletype::kUpdateTime, true, at(2024, 12, 25, 9, 5), 0, 0, 1, 4,
         L"更新時間：\"2024年\" と一致"},
        // The cut follows the precision whatever the function.
        {ruletype::kUpdateTime, true, at(2024, 12, 25, 9, 5), 2, 0, 1, 3,
         L"更新時間：\"2024年12月\" 以降"},
        {ruletype::kUpdateTime, true, at(2024, 12, 25, 9, 5), 2, 0, 1, 7,
         L"更新時間：\"2024年12月25日  9時 5分\" 以降"},
        {ruletype::kAccessTime,
         false,
         {},
         3,
         30,
         3,
         2,
         L"アクセス時間：\"現在の時間\" から 30 日以前"},
        {ruletype::kAccessTime,
         false,
         {},
         4,
         1,
         4,
         0,
         L"アクセス時間：\"現在の時間\" から 1 ヶ月以内"},
        {ruletype::kAccessTime,
         false,
         {},
         2,
         2,
         2,
         0,
         L"アクセス時間：\"現在の時間\" から 2 時間以降"},
        {ruletype::kAccessTime,
         false,
         {},
         2,
         9,
         0,
         0,
         L"アクセス時間：\"現在の時間\" から 9 秒以降"},
        {ruletype::kAccessTime,
         false,
         {},
         3,
         3,
         5,
         0,
         L"アクセス時間：\"現在の時間\" から 3 年以前"},
        {ruletype::kAccessTime, false, {}, 2, 0, 3, 0, L"アクセス時間：\"現在の時間\" 以降"},
        {ruletype::kAccessTime, false, {}, 2, -4, 3, 0, L"アクセス時間：\"現在の時間\" 以降"},
        // No distance for functions 0 and 1 even with an amount.
        {ruletype::kAccessTime, false, {}, 0, 5, 3, 0, L"アクセス時間：\"現在の時間\" と一致"},
        // Values without a word show the number; a stored value shows as stored.
        {ruletype::kAccessTime, false, {}, 9, 0, 3, 0, L"アクセス時間：\"現在の時間\" 9"},
        {ruletype::kAccessTime,
         false,
         {},
         2,
         2,
         8,
         0,
         L"アクセス時間：\"現在の時間\" から 2 8以降"},
        {ruletype::kCreateTime, true, at(2024, 2, 31, 10, 20), 0, 0, 1, 0,
         L"作成時間：\"2024年 2月31日 10時20分\" と一致"},
        {ruletype::kCreateTime, true, at(12345, 1, 1), 0, 0, 1, 4, L"作成時間：\"12345年\" と一致"},
    };
    for (const auto& c : cases) {
        auto rule = std::dynamic_pointer_cast<QXFileTimeRule>(createRule(c.typeId));
        rule->setTimeType(c.stored ? 1 : 0);
        rule->setReferenceTime(c.reference);
        rule->setFunction(c.function);
        rule->setAmount(c.amount);
        rule->setAmountUnit(c.unit);
        rule->setPrecision(c.precision);
        EXPECT_EQ(rule->description(), c.expected) << tovy::toUtf8(c.expected);
    }
}

TEST(FileTimeRule, DefaultsAndClone) {
    QXCreateTimeRule rule;
    EXPECT_EQ(rule.function(), QXFileTimeRule::kAtOrAfter);
    EXPECT_EQ(rule.timeType(), QXFileTimeRule::kCurrentTime);
    EXPECT_EQ(rule.amountUnit(), QXFileTimeRule::kMinutes);
    EXPECT_EQ(rule.description(), L"作成時間：\"現在の時間\" 以降");

    rule.setReferenceTime(at(2024, 3, 5, 10, 20, 30, 400));
    rule.setTimeType(1);
    rule.setFunction(4);
    rule.setAmount(7);
    rule.setAmountUnit(3);
    rule.setPrecision(2);
    rule.setEnabled(false);
    auto copy = std::dynamic_pointer_cast<QXFileTimeRule>(rule.clone());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->typeId(), ruletype::kCreateTime);
    EXPECT_EQ(copy->description(), rule.description());
    EXPECT_EQ(copy->referenceTime().wMilliseconds, 400);
    EXPECT_EQ(copy->amountUnit(), 3);
    EXPECT_EQ(copy->precision(), 2);
    EXPECT_FALSE(copy->enabled());
}

}  // namespace
}  // namespace quenrix
