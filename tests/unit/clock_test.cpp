// Clock records and name tables, with the clock read through the simulated backend.
#include <gtest/gtest.h>

#include "platform/sim/sim.h"
#include "util/clock.h"

namespace {

void expect_time(const ClockTime& t, uint32_t h, uint32_t m, uint32_t s, uint32_t ms) {
  EXPECT_EQ(t.hour, h);
  EXPECT_EQ(t.minute, m);
  EXPECT_EQ(t.second, s);
  EXPECT_EQ(t.millisecond, ms);
}

} // namespace

TEST(Clock, FromSecondsDoesNotWrapHours) {
  expect_time(clock_from_seconds(0), 0, 0, 0, 0);
  expect_time(clock_from_seconds(59), 0, 0, 59, 0);
  expect_time(clock_from_seconds(3600), 1, 0, 0, 0);
  expect_time(clock_from_seconds(86399), 23, 59, 59, 0);
  expect_time(clock_from_seconds(86400), 24, 0, 0, 0);
  expect_time(clock_from_seconds(100000), 27, 46, 40, 0);
  expect_time(clock_from_seconds(4294967295u), 1193046, 28, 15, 0);
}

TEST(Clock, TheDateIsTheLocalOne) {
  // 00:30 local at UTC+2 is 22:30 UTC on the day before: a Monday here, a Sunday in UTC.
  SimConfig config;
  config.utc_ms = sim_utc(2026, 12, 6, 22, 30, 0) + 123;
  config.local_offset_minutes = 120;
  sim_reset(config);
  CalendarDate date;
  expect_time(clock_now_dated(&date), 0, 30, 0, 123);
  EXPECT_EQ(date.year, 2026);
  EXPECT_EQ(date.month, 12);
  EXPECT_EQ(date.day, 7);
  EXPECT_EQ(date.weekday, 1);
  EXPECT_EQ(date_today().day, 7);
}

TEST(Clock, AnOffsetChangingWithinAMinuteIsReadAtTheSecondAsked) {
  // A zone whose offset changes at 12:00:30 UTC, from UTC+1 to UTC+2: the offset is looked up
  // once a minute, but never across a change.
  SimConfig config;
  config.utc_ms = sim_utc(2026, 3, 29, 11, 59, 0);
  config.local_offset_minutes = 60;
  config.zone_change_utc_ms = sim_utc(2026, 3, 29, 12, 0, 30);
  config.offset_after_change_minutes = 120;
  sim_reset(config);
  CalendarDate date;
  expect_time(clock_local_at(sim_utc(2026, 3, 29, 11, 59, 59), &date), 12, 59, 59, 0);
  expect_time(clock_local_at(sim_utc(2026, 3, 29, 12, 0, 29), &date), 13, 0, 29, 0);
  expect_time(clock_local_at(sim_utc(2026, 3, 29, 12, 0, 30), &date), 14, 0, 30, 0);
  expect_time(clock_local_at(sim_utc(2026, 3, 29, 12, 0, 10), &date), 13, 0, 10, 0);
  expect_time(clock_local_at(sim_utc(2026, 3, 29, 12, 1, 0), &date), 14, 1, 0, 0);
}

TEST(Clock, DayNumbersRoundTripWithTheirWeekdays) {
  EXPECT_EQ(day_number(CalendarDate{1970, 1, 1, 4}), 0);
  EXPECT_EQ(day_number(CalendarDate{2000, 3, 1, 3}), 11017);
  // Every day from 1900 to 2100 follows the one before, leap days and century years included.
  CalendarDate previous = date_from_day_number(day_number(CalendarDate{1900, 1, 1, 1}) - 1);
  for (int32_t days = day_number(CalendarDate{1900, 1, 1, 1});
       days < day_number(CalendarDate{2101, 1, 1, 6}); ++days) {
    const CalendarDate date = date_from_day_number(days);
    ASSERT_EQ(day_number(date), days);
    ASSERT_EQ(date.weekday, (previous.weekday + 1) % 7);
    const bool next_month = date.day == 1;
    ASSERT_EQ(date.month, next_month ? previous.month % 12 + 1 : previous.month) << days;
    if (!next_month) {
      ASSERT_EQ(date.day, previous.day + 1);
    }
    previous = date;
  }
  EXPECT_EQ(date_from_day_number(day_number(CalendarDate{2100, 2, 28, 0}) + 1).month, 3);
  EXPECT_EQ(date_from_day_number(day_number(CalendarDate{2000, 2, 28, 0}) + 1).day, 29);
}

TEST(Clock, DaysPastTheThirtyTwoBitRangeAndTheEndsOfTime) {
  // The calendar repeats every 400 years (146,097 days, whole weeks): a far day is the day 400k
  // years before it, k * 146,097 days earlier, with the same month, day and weekday.
  const int64_t far_days[] = {INT32_MAX - 719468, INT32_MAX - 719467, INT32_MAX + 1LL,
                              INT32_MIN - 1LL,    99999999999LL,      -99999999999LL};
  for (const int64_t days : far_days) {
    const int64_t cycles = (days - 10957) / 146097; // 10957: 2000-01-01
    const CalendarDate near = date_from_day_number(days - cycles * 146097);
    const CalendarDate far = date_from_day_number(days);
    EXPECT_EQ(far.year, near.year + 400 * cycles) << days;
    EXPECT_EQ(far.month, near.month) << days;
    EXPECT_EQ(far.day, near.day) << days;
    EXPECT_EQ(far.weekday, near.weekday) << days;
    EXPECT_EQ(day_number(far), days);
  }
  // The first and last instants a 64-bit count holds have a date and a time of day.
  sim_reset(SimConfig());
  for (const int64_t instant : {INT64_MIN, INT64_MAX}) {
    CalendarDate date;
    const ClockTime time = clock_local_at(instant, &date);
    EXPECT_GE(date.month, 1);
    EXPECT_LE(date.month, 12);
    EXPECT_GE(date.day, 1);
    EXPECT_LE(date.day, 31);
    EXPECT_LE(time.hour, 23u);
    EXPECT_EQ(clock_local_day(instant), day_number(date));
  }
}

TEST(Clock, NameTablesWithTheirErrorEntries) {
  EXPECT_STREQ(day_name(0), "Sunday");
  EXPECT_STREQ(day_name(6), "Saturday");
  EXPECT_STREQ(day_name(7), "Error");
  EXPECT_STREQ(day_name(-1), "Error");
  EXPECT_STREQ(day_abbrev(6), "Sat");
  EXPECT_STREQ(day_abbrev(9), "Err");
  EXPECT_STREQ(month_name(1), "January");
  EXPECT_STREQ(month_name(12), "December");
  EXPECT_STREQ(month_name(0), "Error");
  EXPECT_STREQ(month_name(13), "Error");
}
