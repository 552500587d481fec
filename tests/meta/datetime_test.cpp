// Date conversions at known instants, in UTC and across New York's DST changes.
#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/DateTimeUtils.h"

namespace {

// Sets TZ for one test and restores it afterwards.
class ZoneScope {
  public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) saved_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

  private:
    std::optional<std::string> saved_;
};

UTCDateTime Utc(std::int64_t seconds1904) {
    UTCDateTime d{};
    d.highSeconds = static_cast<UInt16>(static_cast<std::uint64_t>(seconds1904) >> 32);
    d.lowSeconds = static_cast<UInt32>(seconds1904);
    d.fraction = 0x8000;
    return d;
}

std::int64_t Seconds(const LocalDateTime& d) {
    return (std::int64_t{static_cast<SInt16>(d.highSeconds)} << 32) | d.lowSeconds;
}
std::int64_t Seconds(const UTCDateTime& d) {
    return (std::int64_t{static_cast<SInt16>(d.highSeconds)} << 32) | d.lowSeconds;
}

bool HaveZone(const char* name) {
    return std::filesystem::exists(std::string("/usr/share/zoneinfo/") + name);
}

TEST(DateConversion, UtcZoneIsTheIdentity) {
    ZoneScope zone("UTC");
    LocalDateTime local;
    UTCDateTime utc = Utc(3792054896);
    ASSERT_EQ(ConvertUTCToLocalDateTime(&utc, &local), noErr);
    EXPECT_EQ(Seconds(local), 3792054896);
    EXPECT_EQ(local.fraction, 0x8000) << "fraction carried over";
    UTCDateTime back;
    ASSERT_EQ(ConvertLocalToUTCDateTime(&local, &back), noErr);
    EXPECT_EQ(Seconds(back), 3792054896);
}

TEST(DateConversion, NewYorkAcrossDaylightSavingChanges) {
    if (!HaveZone("America/New_York")) GTEST_SKIP() << "tzdata lacks America/New_York";
    ZoneScope zone("America/New_York");
    struct Row {
        const char* name;
        std::int64_t utc;
        std::int64_t local;
    };
    const Row rows[] = {
        {"last second of EST before spring forward", 3792898799, 3792880799},
        {"first second of EDT", 3792898800, 3792884400},
        {"last second of EDT in autumn", 3813458399, 3813443999},
        {"first second of EST again (01:00 repeats)", 3813458400, 3813440400},
    };
    for (const auto& row : rows) {
        UTCDateTime utc = Utc(row.utc);
        LocalDateTime local;
        ASSERT_EQ(ConvertUTCToLocalDateTime(&utc, &local), noErr) << row.name;
        EXPECT_EQ(Seconds(local), row.local) << row.name;
    }
    // Local to UTC: unambiguous instants map back exactly.
    for (const auto& row : {rows[0], rows[1], rows[2]}) {
        LocalDateTime local{};
        local.highSeconds = static_cast<UInt16>(row.local >> 32);
        local.lowSeconds = static_cast<UInt32>(row.local);
        UTCDateTime utc;
        ASSERT_EQ(ConvertLocalToUTCDateTime(&local, &utc), noErr) << row.name;
        EXPECT_EQ(Seconds(utc), row.utc) << row.name;
    }
    // 02:30 on the spring-forward day does not exist; it is read as 03:30 EDT.
    LocalDateTime gap{};
    gap.lowSeconds = static_cast<UInt32>(3792882600);
    UTCDateTime utc;
    ASSERT_EQ(ConvertLocalToUTCDateTime(&gap, &utc), noErr);
    EXPECT_EQ(Seconds(utc), 3792900600);
}

TEST(DateConversion, NullArgumentsAreParamErr) {
    UTCDateTime utc{};
    LocalDateTime local{};
    EXPECT_EQ(ConvertUTCToLocalDateTime(nullptr, &local), paramErr);
    EXPECT_EQ(ConvertUTCToLocalDateTime(&utc, nullptr), paramErr);
    EXPECT_EQ(ConvertLocalToUTCDateTime(nullptr, &utc), paramErr);
}

TEST(LongDates, BreaksDownKnownInstants) {
    struct Row {
        const char* name;
        LongDateTime seconds;
        SInt16 year, month, day, hour, minute, second, dayOfWeek, dayOfYear, pm;
    };
    const Row rows[] = {
        {"the epoch, a Friday", 0, 1904, 1, 1, 0, 0, 0, 6, 1, 0},
        {"leap day 2024, a Thursday", 3792054896, 2024, 2, 29, 12, 34, 56, 5, 60, 1},
        {"last second of 2024", 3818534399, 2024, 12, 31, 23, 59, 59, 3, 366, 1},
        {"2000-01-01, a Saturday", 3029529600, 2000, 1, 1, 0, 0, 0, 7, 1, 0},
        {"one second before the epoch", -1, 1903, 12, 31, 23, 59, 59, 5, 365, 1},
    };
    for (const auto& row : rows) {
        LongDateRec d;
        LongSecondsToDate(&row.seconds, &d);
        EXPECT_EQ(d.year, row.year) << row.name;
        EXPECT_EQ(d.month, row.month) << row.name;
        EXPECT_EQ(d.day, row.day) << row.name;
        EXPECT_EQ(d.hour, row.hour) << row.name;
        EXPECT_EQ(d.minute, row.minute) << row.name;
        EXPECT_EQ(d.second, row.second) << row.name;
        EXPECT_EQ(d.dayOfWeek, row.dayOfWeek) << row.name;
        EXPECT_EQ(d.dayOfYear, row.dayOfYear) << row.name;
        EXPECT_EQ(d.pm, row.pm) << row.name;
        LongDateTime back = 12345;
        LongDateToSeconds(&d, &back);
        EXPECT_EQ(back, row.seconds) << row.name;
    }
}

TEST(LongDates, OutOfRangeFieldsCarryOver) {
    LongDateRec d{};
    d.year = 2023;
    d.month = 14;  // February 2024
    d.day = 29;
    d.hour = 12;
    d.minute = 34;
    d.second = 56;
    LongDateTime s;
    LongDateToSeconds(&d, &s);
    EXPECT_EQ(s, 3792054896);
    d = LongDateRec{};
    d.year = 2024;
    d.month = 0;  // December 2023
    d.day = 31;
    LongDateToSeconds(&d, &s);
    LongDateRec back;
    LongSecondsToDate(&s, &back);
    EXPECT_EQ(back.year, 2023);
    EXPECT_EQ(back.month, 12);
    EXPECT_EQ(back.day, 31);
}

// Criterion dates are compared after UTC -> local -> broken down: a file
// created 23:59 local on a day stays on that day in a zone west of Greenwich.
TEST(LongDates, LocalDayOfAnEveningInNewYork) {
    if (!HaveZone("America/New_York")) GTEST_SKIP() << "tzdata lacks America/New_York";
    ZoneScope zone("America/New_York");
    UTCDateTime utc = Utc(3792113940);  // 2024-03-01 04:59:00 UTC = 2024-02-29 23:59 EST
    LocalDateTime local;
    ASSERT_EQ(ConvertUTCToLocalDateTime(&utc, &local), noErr);
    LongDateTime seconds = Seconds(local);
    LongDateRec d;
    LongSecondsToDate(&seconds, &d);
    EXPECT_EQ(d.month, 2);
    EXPECT_EQ(d.day, 29);
    EXPECT_EQ(d.hour, 23);
    EXPECT_EQ(d.minute, 59);
}

}  // namespace
