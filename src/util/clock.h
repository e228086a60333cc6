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

// The local time of day, and the local date of the same reading.
ClockTime clock_now_dated(CalendarDate* date);
// The local time of day and date at an instant (milliseconds since 1970-01-01 UTC).
ClockTime clock_local_at(int64_t utc_ms, CalendarDate* date);
// The local date of an instant, as a day number.
int64_t clock_local_day(int64_t utc_ms);
// The first instant at which the local clock shows a time of day on a date (a day number): a
// time that a daylight-saving change skips gives the first instant after the skip. A date past
// the last instant a 64-bit count holds has none: INT64_MAX, never reached.
int64_t clock_instant_of(int64_t day, uint32_t ms_of_day);
// False for a local date that the zone skips whole (a move across the date line).
bool clock_day_exists(int64_t day);
// Reads the system's zone again when a minute has passed since it was last read, so that a move
// of the zone shows within a minute; true when it was read.
bool clock_follow_zone();
ClockTime clock_from_seconds(uint32_t seconds);
CalendarDate date_today();

// Days since 1970-01-01, and back (proleptic Gregorian).
int64_t day_number(const CalendarDate& date);
CalendarDate date_from_day_number(int64_t days);

const char* day_name(int weekday);
const char* day_abbrev(int weekday);
const char* month_name(int month);

// A new process knows no zone offset yet, and has not read the zone.
void clock_reset_state();
