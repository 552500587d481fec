// Conversions between UTC catalog dates, local seconds and broken-down dates,
// using the system's time zone rules.
#pragma once

#include "platform/Files.h"
#include "platform/MacTypes.h"

struct LocalDateTime {
    UInt16 highSeconds;
    UInt32 lowSeconds;
    UInt16 fraction;
};

struct LongDateRec {
    SInt16 era;
    SInt16 year;
    SInt16 month;  // 1..12
    SInt16 day;    // 1..31
    SInt16 hour;
    SInt16 minute;
    SInt16 second;
    SInt16 dayOfWeek;  // 1 Sunday .. 7 Saturday
    SInt16 dayOfYear;
    SInt16 weekOfYear;
    SInt16 pm;
    SInt16 res1, res2, res3;
};

OSErr ConvertUTCToLocalDateTime(const UTCDateTime* utc, LocalDateTime* local);
OSErr ConvertLocalToUTCDateTime(const LocalDateTime* local, UTCDateTime* utc);
void LongSecondsToDate(const LongDateTime* seconds, LongDateRec* date);
void LongDateToSeconds(const LongDateRec* date, LongDateTime* seconds);
