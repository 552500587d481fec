// Date conversions. Catalog dates are UTC seconds since 1904; criteria and
// broken-down dates are local seconds since 1904. The offset between them is
// whatever the system's time zone rules (TZ, /etc/localtime) say at that instant.
#include <time.h>

#include <cerrno>
#include <climits>
#include <cstdint>

#include "platform/DateTimeUtils.h"

namespace {

constexpr std::int64_t kSeconds1904To1970 = 2082844800;
constexpr std::int64_t kSecondsPerDay = 86400;

// 48-bit seconds, read as two's complement so that dates just before 1904
// (local time west of Greenwich) survive the round trip.
std::int64_t Seconds48(UInt16 high, UInt32 low) {
    std::int64_t v = (std::int64_t{static_cast<SInt16>(high)} << 32) | low;
    return v;
}

bool Fits48(std::int64_t v) {
    return v >= -(std::int64_t{1} << 47) && v < (std::int64_t{1} << 47);
}

void Split48(std::int64_t v, UInt16& high, UInt32& low) {
    high = static_cast<UInt16>(static_cast<std::uint64_t>(v) >> 32);
    low = static_cast<UInt32>(static_cast<std::uint64_t>(v));
}

// Days since 1970-01-01 of a proleptic Gregorian date (any month value: it is
// carried into the year).
std::int64_t DaysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y += (m >= 1 ? (m - 1) / 12 : (m - 12) / 12);
    m = ((m - 1) % 12 + 12) % 12 + 1;
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

}  // namespace

OSErr ConvertUTCToLocalDateTime(const UTCDateTime* utc, LocalDateTime* local) {
    if (utc == nullptr || local == nullptr) return paramErr;
    const std::int64_t seconds = Seconds48(utc->highSeconds, utc->lowSeconds);
    const time_t unixTime = static_cast<time_t>(seconds - kSeconds1904To1970);
    struct tm tm;
    if (localtime_r(&unixTime, &tm) == nullptr) return paramErr;
    const std::int64_t localSeconds = seconds + tm.tm_gmtoff;
    if (!Fits48(localSeconds)) return paramErr;
    Split48(localSeconds, local->highSeconds, local->lowSeconds);
    local->fraction = utc->fraction;
    return noErr;
}

OSErr ConvertLocalToUTCDateTime(const LocalDateTime* local, UTCDateTime* utc) {
    if (utc == nullptr || local == nullptr) return paramErr;
    const std::int64_t seconds = Seconds48(local->highSeconds, local->lowSeconds);
    const std::int64_t unixLocal = seconds - kSeconds1904To1970;
    // Break the local seconds down as wall-clock fields and let mktime find
    // the instant. In a repeated hour mktime picks one of the two; in a
    // skipped hour it moves forward, as clocks do.
    const std::int64_t days = FloorDiv(unixLocal, kSecondsPerDay);
    const std::int64_t rest = unixLocal - days * kSecondsPerDay;
    std::int64_t y;
    int m, d;
    CivilFromDays(days, y, m, d);
    if (y - 1900 < INT32_MIN || y - 1900 > INT32_MAX) return paramErr;
    struct tm tm = {};
    tm.tm_year = static_cast<int>(y - 1900);
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    tm.tm_hour = static_cast<int>(rest / 3600);
    tm.tm_min = static_cast<int>(rest / 60 % 60);
    tm.tm_sec = static_cast<int>(rest % 60);
    tm.tm_isdst = -1;
    errno = 0;
    const time_t unixTime = mktime(&tm);
    if (unixTime == static_cast<time_t>(-1) && errno != 0) return paramErr;
    const std::int64_t utcSeconds = std::int64_t{unixTime} + kSeconds1904To1970;
    if (!Fits48(utcSeconds)) return paramErr;
    Split48(utcSeconds, utc->highSeconds, utc->lowSeconds);
    utc->fraction = local->fraction;
    return noErr;
}

void LongSecondsToDate(const LongDateTime* seconds, LongDateRec* date) {
    if (seconds == nullptr || date == nullptr) return;
    *date = LongDateRec{};
    const std::int64_t s = *seconds;
    // 1904-01-01 is day -24107 from 1970-01-01.
    const std::int64_t days = FloorDiv(s, kSecondsPerDay) - kSeconds1904To1970 / kSecondsPerDay;
    const std::int64_t rest = s - FloorDiv(s, kSecondsPerDay) * kSecondsPerDay;
    std::int64_t y;
    int m, d;
    CivilFromDays(days, y, m, d);
    date->era = y > 0 ? 0 : -1;  // dates before year 1 fall in the era before
    date->year = static_cast<SInt16>(y);
    date->month = static_cast<SInt16>(m);
    date->day = static_cast<SInt16>(d);
    date->hour = static_cast<SInt16>(rest / 3600);
    date->minute = static_cast<SInt16>(rest / 60 % 60);
    date->second = static_cast<SInt16>(rest % 60);
    // 1970-01-01 was a Thursday (5 with Sunday as 1).
    date->dayOfWeek = static_cast<SInt16>(((days % 7) + 7 + 4) % 7 + 1);
    const std::int64_t jan1 = DaysFromCivil(y, 1, 1);
    date->dayOfYear = static_cast<SInt16>(days - jan1 + 1);
    // Week 1 is the week (Sunday to Saturday) that holds 1 January.
    const std::int64_t jan1Weekday = ((jan1 % 7) + 7 + 4) % 7;  // 0 Sunday
    date->weekOfYear = static_cast<SInt16>((days - jan1 + jan1Weekday) / 7 + 1);
    date->pm = date->hour >= 12 ? 1 : 0;
}

void LongDateToSeconds(const LongDateRec* date, LongDateTime* seconds) {
    if (date == nullptr || seconds == nullptr) return;
    // Fields out of range carry over (month 13 is January of the next year,
    // second 60 the next minute), as callers that add to a field expect.
    const std::int64_t days = DaysFromCivil(date->year, date->month, 1) + (date->day - 1) +
                              kSeconds1904To1970 / kSecondsPerDay;
    *seconds = days * kSecondsPerDay + std::int64_t{date->hour} * 3600 +
               std::int64_t{date->minute} * 60 + date->second;
}
