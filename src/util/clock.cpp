// Clock readings and name tables. The time of day is local; the date is the UTC date.
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
  SystemTime now;
  plat_local_time(&now);
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

void date_clear(CalendarDate* date) {
  *date = CalendarDate{0, 0, 0, 0};
}

CalendarDate date_today_utc() {
  SystemTime now;
  plat_utc_time(&now);
  return CalendarDate{now.year, static_cast<int8_t>(now.month), static_cast<int8_t>(now.day),
                      static_cast<int8_t>(now.day_of_week)};
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
