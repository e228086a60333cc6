// Clock readings, calendar arithmetic and name tables. Time and date are both local: the date
// beside a time on the screen, and the weekday a launch falls on, are the user's own.
#include "util/clock.h"

#include "platform/platform.h"

namespace {

const char* const day_names[] = {"Sunday",   "Monday", "Tuesday",  "Wednesday",
                                 "Thursday", "Friday", "Saturday", "Error"};
const char* const day_abbrevs[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Err"};
const char* const month_names[] = {"January",  "February", "March",  "April",     "May",
                                   "June",     "July",     "August", "September", "October",
                                   "November", "December", "Error"};

} // namespace

ClockTime clock_now() {
  CalendarDate unused;
  return clock_now_dated(&unused);
}

ClockTime clock_now_dated(CalendarDate* date) {
  SystemTime now;
  plat_local_time(&now);
  *date = CalendarDate{now.year, static_cast<int8_t>(now.month), static_cast<int8_t>(now.day),
                       static_cast<int8_t>(now.day_of_week)};
  return ClockTime{now.hour, now.minute, now.second, now.milliseconds};
}

ClockTime clock_from_seconds(uint32_t seconds) {
  return ClockTime{seconds / 3600, (seconds % 3600) / 60, seconds % 60, 0};
}

ClockTime clock_add_seconds(ClockTime* time, uint32_t seconds) {
  // Unsigned 32-bit on purpose: the sum wraps the way the record's fields do.
  const uint32_t total = time->hour * 3600 + time->minute * 60 + time->second + seconds;
  time->hour = total / 3600;
  time->minute = (total % 3600) / 60;
  time->second = total % 60;
  return *time;
}

uint32_t clock_ms_of_day(const ClockTime& time) {
  return ((time.hour * 60 + time.minute) * 60 + time.second) * 1000 + time.millisecond;
}

CalendarDate date_today() {
  CalendarDate date;
  clock_now_dated(&date);
  return date;
}

// The civil-from-days algorithm over 400-year eras, with March as the year's first month.
int32_t day_number(const CalendarDate& date) {
  const int32_t year = date.year - (date.month <= 2 ? 1 : 0);
  const int32_t era = (year >= 0 ? year : year - 399) / 400;
  const int32_t year_of_era = year - era * 400;
  const int32_t month = date.month > 2 ? date.month - 3 : date.month + 9;
  const int32_t day_of_year = (153 * month + 2) / 5 + date.day - 1;
  const int32_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

CalendarDate date_from_day_number(int32_t days) {
  const int32_t shifted = days + 719468;
  const int32_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
  const int32_t day_of_era = shifted - era * 146097;
  const int32_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int32_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int32_t month = (5 * day_of_year + 2) / 153;
  const int32_t civil_month = month < 10 ? month + 3 : month - 9;
  const int32_t weekday = ((days % 7) + 11) % 7; // 1970-01-01 was a Thursday
  return CalendarDate{
      year_of_era + era * 400 + (civil_month <= 2 ? 1 : 0), static_cast<int8_t>(civil_month),
      static_cast<int8_t>(day_of_year - (153 * month + 2) / 5 + 1), static_cast<int8_t>(weekday)};
}

const char* day_name(int weekday) {
  return day_names[(weekday >= 0 && weekday <= 6) ? weekday : 7];
}

const char* day_abbrev(int weekday) {
  return day_abbrevs[(weekday >= 0 && weekday <= 6) ? weekday : 7];
}

const char* month_name(int month) {
  return month_names[(month >= 1 && month <= 12) ? month - 1 : 12];
}
