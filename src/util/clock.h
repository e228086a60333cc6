// Clock and calendar records: the local time of day (or a duration) and the local date with its
// weekday, with the English day and month names.
#pragma once

#include <cstdint>

struct ClockTime {
  uint32_t hour; // not wrapped at 24 for durations and added seconds
  uint32_t minute;
  uint32_t second;
  uint32_t millisecond;
};

struct CalendarDate {
  int32_t year;
  int8_t month;   // 1 = January
  int8_t day;     // 1-31
  int8_t weekday; // 0 = Sunday
};

ClockTime clock_now();
// The local time of day, and the local date of the same reading.
ClockTime clock_now_dated(CalendarDate* date);
ClockTime clock_from_seconds(uint32_t seconds);
ClockTime clock_add_seconds(ClockTime* time, uint32_t seconds);
uint32_t clock_ms_of_day(const ClockTime& time);
CalendarDate date_today();

// Days since 1970-01-01, and back (proleptic Gregorian).
int32_t day_number(const CalendarDate& date);
CalendarDate date_from_day_number(int32_t days);

const char* day_name(int weekday);
const char* day_abbrev(int weekday);
const char* month_name(int month);
