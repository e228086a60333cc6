// Clock readings, calendar arithmetic and name tables. Time and date are both local: the date
// beside a time on the screen, and the weekday a launch falls on, are the user's own.
#include "util/clock.h"

#include "platform/platform.h"

namespace {

constexpr int64_t day_ms = 86400000;

// The instants the calendar covers: the 64-bit range less, at either end, room for two offsets
// of any size and the days either side that the zone rules are asked about, so that no sum here
// can overflow. An instant past them reads as the last (or the first) one.
constexpr int64_t edge_room_ms = 4 * (INT32_MAX + 1LL) * 1000 + 4 * day_ms;
constexpr int64_t earliest_ms = INT64_MIN + edge_room_ms;
constexpr int64_t latest_ms = INT64_MAX - edge_room_ms;

int64_t covered(int64_t utc_ms) {
  return utc_ms < earliest_ms ? earliest_ms : (utc_ms > latest_ms ? latest_ms : utc_ms);
}

// A pass asks for the offset at the same instants again and again (now, and the launch's), and
// asking the zone rules is a good part of what a pass costs. An offset changes only on a whole
// second, and at most once in a minute: one that is the same at a minute's first and last second
// holds all through it, so the rules are asked about each minute once, not every second.
struct OffsetMemo {
  int64_t minute;
  int32_t offset;
};
constexpr OffsetMemo no_memo = {INT64_MIN, 0};

// The system's zone is read again once a minute (on the monotonic clock): the user may move it.
constexpr int64_t zone_look_ms = 60000;

struct ClockState {
  OffsetMemo memo[2] = {no_memo, no_memo};
  int memo_next = 0;
  bool zone_read = false;
  int64_t zone_read_ms = 0;
};
ClockState state;

void forget_offsets() {
  state.memo[0] = state.memo[1] = no_memo;
  state.memo_next = 0;
}

constexpr int64_t floor_div(int64_t value, int64_t divisor) {
  return (value >= 0 ? value : value - divisor + 1) / divisor;
}

constexpr int64_t first_day = floor_div(earliest_ms, day_ms);
constexpr int64_t last_day = floor_div(latest_ms, day_ms);

int32_t offset_at(int64_t utc_ms) {
  const int64_t second = floor_div(utc_ms, 1000);
  const int64_t minute = floor_div(second, 60);
  for (const OffsetMemo& known : state.memo) {
    if (known.minute == minute) return known.offset;
  }
  const int32_t first = plat_utc_offset_s(minute * 60 * 1000);
  if (plat_utc_offset_s((minute * 60 + 59) * 1000) != first) {
    return plat_utc_offset_s(second * 1000); // the minute of a change
  }
  state.memo[state.memo_next] = OffsetMemo{minute, first};
  state.memo_next = 1 - state.memo_next;
  return first;
}

int64_t local_ms_at(int64_t utc_ms) {
  return utc_ms + offset_at(utc_ms) * 1000LL;
}

int64_t day_of(int64_t local_ms) {
  return floor_div(local_ms, day_ms);
}

const char* const day_names[] = {"Sunday",   "Monday", "Tuesday",  "Wednesday",
                                 "Thursday", "Friday", "Saturday", "Error"};
const char* const day_abbrevs[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Err"};
const char* const month_names[] = {"January",  "February", "March",  "April",     "May",
                                   "June",     "July",     "August", "September", "October",
                                   "November", "December", "Error"};

} // namespace

ClockTime clock_now_dated(CalendarDate* date) {
  return clock_local_at(plat_utc_ms(), date);
}

ClockTime clock_local_at(int64_t utc_ms, CalendarDate* date) {
  const int64_t local_ms = local_ms_at(covered(utc_ms));
  const int64_t day = day_of(local_ms);
  *date = date_from_day_number(day);
  const auto in_day = static_cast<uint32_t>(local_ms - day * day_ms);
  return ClockTime{in_day / 3600000, in_day / 60000 % 60, in_day / 1000 % 60, in_day % 1000};
}

int64_t clock_local_day(int64_t utc_ms) {
  return day_of(local_ms_at(covered(utc_ms)));
}

// The clock shows a local time at each instant local - offset whose offset is that one. The
// offsets in force a day either side are the only ones such an instant can have; when none fits,
// the time lies in a stretch the clock skips, and the change that skips it is found second by
// second between the instants the offsets gave.
int64_t clock_instant_of(int64_t day, uint32_t ms_of_day) {
  if (day > last_day) return INT64_MAX;
  const int64_t local_ms = (day < first_day ? first_day : day) * day_ms + ms_of_day;
  int64_t first = INT64_MAX, low = INT64_MAX, high = INT64_MIN;
  const int64_t probes[] = {local_ms - day_ms, local_ms, local_ms + day_ms};
  for (const int64_t probe : probes) {
    const int64_t instant = local_ms - offset_at(probe) * 1000LL;
    if (instant < first && local_ms_at(instant) == local_ms) first = instant;
    if (instant < low) low = instant;
    if (instant > high) high = instant;
  }
  if (first != INT64_MAX) return first;
  low /= 1000;  // seconds, before the change
  high /= 1000; // and after it
  const int32_t offset_before = offset_at(low * 1000);
  while (high - low > 1) {
    const int64_t middle = low + (high - low) / 2;
    (offset_at(middle * 1000) == offset_before ? low : high) = middle;
  }
  return high * 1000;
}

// A date exists when some instant shows it: its first instant is on it (a date whose first
// hours a change skips begins later that day; one that a zone skips whole begins on the next).
bool clock_day_exists(int64_t day) {
  return day > last_day || clock_local_day(clock_instant_of(day, 0)) == day;
}

bool clock_follow_zone() {
  const int64_t now_ms = plat_monotonic_ms();
  if (state.zone_read && now_ms - state.zone_read_ms < zone_look_ms) return false;
  state.zone_read = true;
  state.zone_read_ms = now_ms;
  plat_zone_reload();
  forget_offsets();
  return true;
}

ClockTime clock_from_seconds(uint32_t seconds) {
  return ClockTime{seconds / 3600, (seconds % 3600) / 60, seconds % 60, 0};
}

CalendarDate date_today() {
  CalendarDate date;
  clock_now_dated(&date);
  return date;
}

// The civil-from-days algorithm over 400-year eras, with March as the year's first month.
// In 64 bits, whole over every year a date holds.
int64_t day_number(const CalendarDate& date) {
  const int64_t year = static_cast<int64_t>(date.year) - (date.month <= 2 ? 1 : 0);
  const int64_t era = floor_div(year, 400);
  const int64_t year_of_era = year - era * 400;
  const int64_t month = date.month > 2 ? date.month - 3 : date.month + 9;
  const int64_t day_of_year = (153 * month + 2) / 5 + date.day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

// The days of the instants the calendar covers, whose years a 32-bit year holds; a day past
// them reads as the last (or the first).
CalendarDate date_from_day_number(int64_t days) {
  if (days < first_day) days = first_day;
  if (days > last_day) days = last_day;
  const int64_t shifted = days + 719468;
  const int64_t era = floor_div(shifted, 146097);
  const int64_t day_of_era = shifted - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t month = (5 * day_of_year + 2) / 153;
  const int64_t civil_month = month < 10 ? month + 3 : month - 9;
  const int64_t weekday = (days % 7 + 11) % 7; // 1970-01-01 was a Thursday
  return CalendarDate{static_cast<int32_t>(year_of_era + era * 400 + (civil_month <= 2 ? 1 : 0)),
                      static_cast<int8_t>(civil_month),
                      static_cast<int8_t>(day_of_year - (153 * month + 2) / 5 + 1),
                      static_cast<int8_t>(weekday)};
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

void clock_reset_state() {
  state = ClockState{};
}
