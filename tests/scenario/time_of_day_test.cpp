// The time-of-day mode: the match on the clock, re-arming, daily repeats, its screen and
// channels, and clock faults.
#include <gtest/gtest.h>

#include "console/help_screen.h"
#include "scenario/sim_helpers.h"

namespace {

int64_t at(int day, int hour, int minute, int second) {
  return sim_utc(2026, 12, day, hour, minute, second);
}

// Launch times as the UTC clock showed them, in seconds since the start of 8 December.
std::vector<int64_t> launch_clock(const SimRun& run, int64_t start_ms) {
  std::vector<int64_t> seconds;
  for (int64_t ms : run.launch_times_ms) seconds.push_back((start_ms + ms - at(8, 0, 0, 0)) / 1000);
  return seconds;
}

constexpr int64_t hour_ms = 3600 * 1000;

} // namespace

TEST(TimeOfDay, StartedInsideTheTargetMinuteLaunchesAtOnce) {
  const SimRun run = run_from(at(8, 8, 30, 10), {"x", "/TIME=08:30"}, hour_ms);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.launches, std::vector<std::string>{"CMD /C START x"});
  EXPECT_EQ(run.launch_times_ms, std::vector<int64_t>{10}) << "in the first pass, without a sleep";
  EXPECT_NE(run.console.find("\n\376 Launching x ...\n\376 Launch of x complete.\n"),
            std::string::npos);
}

TEST(TimeOfDay, RepeatLaunchesOncePerDay) {
  const int64_t start = at(8, 8, 29, 0);
  const SimRun run = run_from(start, {"x", "/TIME=08:30", "/REPEAT"}, 49 * hour_ms);
  // The first reading in 08:30 after each sleep; the pass of 08:31 re-arms.
  EXPECT_EQ(launch_clock(run, start),
            (std::vector<int64_t>{8 * 3600 + 30 * 60, 86400 + 8 * 3600 + 30 * 60,
                                  2 * 86400 + 8 * 3600 + 30 * 60}));
}

TEST(TimeOfDay, MinuteFiftyNineReArmsOnlyTheNextDay) {
  const int64_t start = at(8, 8, 58, 0);
  const SimRun run = run_from(start, {"x", "/TIME=08:59", "/R"}, 26 * hour_ms);
  EXPECT_EQ(launch_clock(run, start),
            (std::vector<int64_t>{8 * 3600 + 59 * 60, 86400 + 8 * 3600 + 59 * 60}));
}

TEST(TimeOfDay, TimeLeftAndItsLastLines) {
  // At exactly the target second the time-left line and the spinner are left out.
  run_from(at(8, 8, 30, 0), {"x", "/TIME=08:30"}, hour_ms);
  EXPECT_EQ(sim_screen_text().find("Time left"), std::string::npos);
  EXPECT_NE(sim_screen_text().find("Starting command at: 08:30:00 hrs\n\n\376 Launching x ..."),
            std::string::npos);
  // Once past the minute, it counts toward the same time the next day.
  run_from(at(8, 8, 31, 20), {"x", "/TIME=08:30"}, 100);
  EXPECT_NE(sim_screen_text().find("23:58:40 (86,320 seconds remaing)... \263"), std::string::npos);
  const SimRun midnight = run_from(at(8, 23, 59, 50), {"x", "/TIME=00:00"}, 100);
  EXPECT_EQ(sim_row_text(13), "\376 Time left:           00:00:10 (10 seconds remaing)... \263");
  EXPECT_TRUE(midnight.launches.empty());
}

TEST(TimeOfDay, TheSleepEndsOnTheMinute) {
  // Readings at 08:29:55 with a 70-second refresh: the sleep ends at 08:30:00.
  const int64_t start = at(8, 8, 29, 55);
  const SimRun run = run_from(start, {"x", "/TIME=08:30", "/TICK=70", "/q"}, hour_ms);
  EXPECT_EQ(launch_clock(run, start), std::vector<int64_t>{8 * 3600 + 30 * 60});
  EXPECT_EQ(pass_sleeps(run), std::vector<uint32_t>{4990}); // after the start-up's 10 ms
}

TEST(TimeOfDay, ExceptedDayCountsAsTheDaysAttempt) {
  const int64_t start = at(8, 8, 29, 0); // Tuesday; Wednesday is not excepted
  const SimRun run = run_from(start, {"x", "/TIME=08:30", "/R", "/EXCEPT=tue"}, 25 * hour_ms);
  EXPECT_EQ(count_of(run.console, "\376 Not executing on excepted day (Tuesday)\n"), 1);
  EXPECT_EQ(launch_clock(run, start), std::vector<int64_t>{86400 + 8 * 3600 + 30 * 60});
  // Friday 20:00 in New York is Saturday in UTC: the weekday is the local one.
  SimConfig config = config_at(sim_utc(2026, 12, 12, 0, 59, 0));
  config.local_offset_minutes = -300;
  sim_reset(config);
  EXPECT_EQ(sim_run({"x", "/TIME=20:00", "/EXCEPT=SatSun", "/q"}).launches.size(), 1u);
}

TEST(TimeOfDay, StatusLinesGoToStandardOutputAndTheRestToTheConsole) {
  SimConfig config = config_at(at(7, 8, 29, 57)); // Monday
  config.stdout_redirected = true;
  sim_reset(config);
  const SimRun run = sim_run({"monitor.sh", "/TIME=08:30", "/EXCEPT=SATSUN"});
  EXPECT_EQ(run.out.substr(0, run.out.find("\376 Time left")),
            "\r\n\376 Waiting to launch command \"monitor.sh\"\r\n\r\n"
            "\376 Running command ONCE at 08:30:00 hrs\r\n"
            "\376 Updating every 5 seconds\r\n"
            "  Hold down ESC for 5 seconds to stop\r\n\r\n"
            "\376 Running since:       Monday 07th December 2026\r\n"
            "\376 At:                  08:29:57 hrs\r\n"
            "\376 Current date is:     Monday 07th December 2026\r\n"
            "\376 Current time is now: 08:29:57 hrs\r\n"
            "\376 Starting command at: 08:30:00 hrs\r\n");
  EXPECT_NE(run.out.find("\376 Time left:           00:00:03 (3 seconds remaing)... \r\n"),
            std::string::npos);
  const std::string banner = help_lines[0];
  EXPECT_EQ(run.console,
            banner + std::string(80 - banner.size(), ' ') +
                "\376 Not running on ...\n  Sunday, Saturday, \n\263"
                "\n\376 Launching monitor.sh ...\n\376 Launch of monitor.sh complete.\n");
}

TEST(TimeOfDay, WholeScreenOnTheConsole) {
  sim_reset(config_at(at(8, 6, 0, 1)));
  std::string screen;
  uint16_t red = 0, blue = 0, days = 0;
  sim_on_sleep([&](uint32_t ms) {
    if (ms < 1000 || !screen.empty()) return;
    screen = sim_screen_text();
    red = sim_cell_attr(2, 6);
    days = sim_cell_attr(2, 13);
    blue = sim_cell_attr(2, 15);
    sim_key_char(0, 27, 1);
  });
  const SimRun run = sim_run({"x", "/TIME=07:15", "/R", "/EXCEPT=Mon"});
  EXPECT_EQ(run.console.substr(run.console.size() - 22), "\x1bVorbelin Terminated.\n");
  EXPECT_EQ(screen,
            " Vorbelin " VORBELIN_VERSION " - waits, then launches a program or internal command\n"
            "\n"
            "\376 Waiting to launch command \"x\"\n"
            "\n"
            "\376 Repeating this command each day at the same time.\n"
            "\376 Updating every 5 seconds\n"
            "  Hold down ESC for 5 seconds to stop\n"
            "\n"
            "\376 Running since:       Tuesday 08th December 2026\n"
            "\376 At:                  06:00:01 hrs\n"
            "\376 Current date is:     Tuesday 08th December 2026\n"
            "\376 Current time is now: 06:00:01 hrs\n"
            "\376 Starting command at: 07:15:00 hrs\n"
            "\376 Not running on ...\n"
            "  Monday,\n"
            "\376 Time left:           01:14:59 (4,499 seconds remaing)... \263");
  EXPECT_EQ(red, 0x0C);
  EXPECT_EQ(days, 7) << "the excepted days stay light grey in this mode";
  EXPECT_EQ(blue, 9);
}

TEST(TimeOfDay, StopPoints) {
  // ESC during the sleep (quiet: a wait of a minute) ends it and is caught in the same pass.
  sim_reset(config_at(at(8, 6, 0, 0)));
  sim_key_char(2000, 27, 1);
  const SimRun after_sleep = sim_run({"x", "/TIME=07:00", "/q"});
  EXPECT_EQ(after_sleep.console, "\x1bVorbelin Terminated.\n");
  EXPECT_EQ(pass_sleeps(after_sleep), std::vector<uint32_t>{60000});
  // Typed before the first pass: caught before its sleep.
  sim_reset(config_at(at(8, 6, 0, 0)));
  sim_key_char(5, 27, 1);
  const SimRun before_sleep = sim_run({"x", "/TIME=07:00", "/q"});
  EXPECT_EQ(before_sleep.console, "\x1b\nVorbelin Was Terminated.\n");
  EXPECT_TRUE(pass_sleeps(before_sleep).empty());
  // The pass that finds the launch due launches first; without repeat the ESC stays unread.
  sim_reset(config_at(at(8, 6, 59, 58)));
  sim_key_char(3000, 27, 1);
  const SimRun due = sim_run({"x", "/TIME=07:00", "/q"});
  EXPECT_EQ(due.status, 0);
  EXPECT_EQ(due.launches.size(), 1u);
  EXPECT_EQ(due.console, "");
}

namespace {

// A daily 08:30 run from start whose clock is set to another time once, at the first sleep from
// the time when on.
SimRun run_with_clock_set(int64_t start, int64_t when, int64_t to, int64_t limit_ms,
                          const char* tick = "/TICK=5") {
  SimConfig config = config_at(start);
  config.run_limit_ms = limit_ms;
  sim_reset(config);
  bool set = false;
  sim_on_sleep([&](uint32_t) {
    if (set || sim_now_ms() < when) return;
    sim_set_now_ms(to);
    set = true;
  });
  const SimRun run = sim_run({"x", "/TIME=08:30", "/R", tick});
  EXPECT_TRUE(set);
  return run;
}

} // namespace

TEST(TimeOfDay, ClockSetBackAfterALaunchDoesNotLaunchAgain) {
  // 08:30 launches; the clock put back to 07:35 shows 08:30 once more, and nothing launches.
  const SimRun run =
      run_with_clock_set(at(8, 8, 29, 0), at(8, 8, 35, 0), at(8, 7, 35, 0), 2 * hour_ms);
  EXPECT_EQ(run.launches.size(), 1u);
  // Put back three days (a restored snapshot): a new start, whose dates launch as they come,
  // the 5th to the 8th again.
  const SimRun days =
      run_with_clock_set(at(8, 8, 29, 0), at(8, 8, 35, 0), at(5, 8, 0, 0), 2 * hour_ms);
  EXPECT_EQ(days.launches.size(), 5u);
}

TEST(TimeOfDay, ClockSetForwardOverTheTarget) {
  // Two hours on: launched at the first reading after the step, then the next day. Four hours
  // on is a night asleep: the launch waits for the next day.
  const int64_t start = at(8, 8, 0, 0);
  const int64_t next_day = (at(9, 8, 30, 0) - start) / 1000;
  const SimRun two = run_with_clock_set(start, at(8, 8, 29, 0), at(8, 10, 29, 0), 25 * hour_ms);
  ASSERT_EQ(two.launches.size(), 2u);
  EXPECT_EQ(two.launch_times_ms[0] / 1000, (at(8, 10, 29, 5) - start) / 1000);
  EXPECT_EQ(two.launch_times_ms[1] / 1000, next_day);
  const SimRun four = run_with_clock_set(start, at(8, 8, 29, 0), at(8, 12, 29, 0), 25 * hour_ms);
  ASSERT_EQ(four.launches.size(), 1u);
  EXPECT_EQ(four.launch_times_ms[0] / 1000, next_day);
  // The step is what the clock jumped, not the jump plus the sleep it came in: 2 h 59 min during
  // a two-minute sleep to the target launches.
  const SimRun long_sleep =
      run_with_clock_set(at(8, 8, 28, 0), at(8, 8, 28, 1), at(8, 11, 27, 0), hour_ms, "/TICK=300");
  EXPECT_EQ(long_sleep.launches.size(), 1u);
  // Quiet, the set wakes the wait: the launch comes as the clock is set, not at the next look.
  SimConfig config = config_at(start);
  config.run_limit_ms = hour_ms;
  sim_reset(config);
  sim_set_clock_at(570010, at(8, 8, 31, 0));
  const SimRun quiet = sim_run({"x", "/TIME=08:30", "/R", "/q"});
  EXPECT_EQ(quiet.launch_times_ms, std::vector<int64_t>{at(8, 8, 31, 0) - start});
}

TEST(TimeOfDay, AMovedZoneIsFollowedAndNoDateLaunchesTwice) {
  // Berlin at 09:00, waiting for 17:02; the zone moves to Tokyo, where it is 17:00: the next
  // look at the zone shows Tokyo's time and the launch comes at Tokyo's 17:02.
  const int64_t start = at(8, 8, 0, 0);
  SimConfig config = config_at(start);
  config.local_offset_minutes = 60;
  config.run_limit_ms = 3 * 60000;
  sim_reset(config);
  sim_move_zone_at(20000, 540);
  std::string screen;
  sim_on_sleep([&](uint32_t) {
    if (sim_now_ms() - start >= 100000 && screen.empty()) screen = sim_screen_text();
  });
  const SimRun tokyo = sim_run({"x", "/TIME=17:02"});
  EXPECT_EQ(tokyo.launch_times_ms, std::vector<int64_t>{120000});
  EXPECT_NE(screen.find("Current time is now: 17:01:40 hrs"), std::string::npos);
  // Back to Berlin after Tokyo's launch: Berlin's 17:02 that day is the same date, and waits
  // for the next one.
  config.run_limit_ms = 34 * hour_ms;
  sim_reset(config);
  sim_move_zone_at(20000, 540);
  sim_move_zone_at(200000, 60);
  const SimRun back = sim_run({"x", "/TIME=17:02", "/R", "/q"});
  EXPECT_EQ(launch_clock(back, start),
            (std::vector<int64_t>{8 * 3600 + 120, 86400 + 16 * 3600 + 120}));
}

TEST(TimeOfDay, ADateTheZoneSkipsLaunchesNothing) {
  // Apia crossed the date line: Thursday 29 December 2011 at UTC-10 was followed by Saturday the
  // 31st at UTC+14. Friday has no noon, launches nothing and is no excepted day.
  const int64_t start = sim_utc(2011, 12, 29, 20, 0, 0); // 10:00 local
  SimConfig config = config_at(start);
  config.local_offset_minutes = -600;
  config.zone_change_utc_ms = sim_utc(2011, 12, 30, 10, 0, 0);
  config.offset_after_change_minutes = 840;
  config.run_limit_ms = 51 * hour_ms;
  sim_reset(config);
  const SimRun run = sim_run({"x", "/TIME=12:00", "/R", "/q", "/EXCEPT=Fri"});
  EXPECT_EQ(run.launch_times_ms, (std::vector<int64_t>{2 * hour_ms, 26 * hour_ms, 50 * hour_ms}));
  EXPECT_EQ(run.console.find("excepted day"), std::string::npos);
}

TEST(TimeOfDay, NoRefreshIntervalMakesALaunchLateOrLost) {
  // A night whose 02:00 becomes 03:00 (UTC+1, then +2 from 01:00 UTC); 03:30 is 45 minutes after
  // 01:45, and a two-hour refresh must not sleep past it.
  SimConfig config = config_at(at(8, 0, 45, 0)); // 01:45 local
  config.local_offset_minutes = 60;
  config.zone_change_utc_ms = at(8, 1, 0, 0);
  config.offset_after_change_minutes = 120;
  config.run_limit_ms = 3 * hour_ms;
  sim_reset(config);
  std::string first_screen;
  sim_on_sleep([&](uint32_t) {
    if (first_screen.empty()) first_screen = sim_screen_text();
  });
  const SimRun spring = sim_run({"x", "/TIME=03:30", "/R", "/TICK=7200"});
  EXPECT_EQ(spring.launch_times_ms, std::vector<int64_t>{45 * 60 * 1000});
  EXPECT_NE(first_screen.find("Time left:           00:45:00 (2,700 seconds"), std::string::npos);
  // A refresh longer than a day still launches every day.
  const int64_t start = at(8, 8, 29, 0);
  const SimRun daily =
      run_from(start, {"x", "/TIME=08:30", "/R", "/q", "/TICK=90000"}, 73 * hour_ms);
  EXPECT_EQ(launch_clock(daily, start),
            (std::vector<int64_t>{8 * 3600 + 1800, 86400 + 8 * 3600 + 1800,
                                  2 * 86400 + 8 * 3600 + 1800, 3 * 86400 + 8 * 3600 + 1800}));
}

TEST(TimeOfDay, DaylightSavingNightsLaunchOnce) {
  // Local time is UTC until 02:00 UTC on the 8th, then an hour ahead until 02:00 UTC on the 9th:
  // local 02:30 never shows on the 8th, which launches as 02:00 becomes 03:00, and shows twice
  // on the 9th, which launches at the first.
  const int64_t start = at(8, 0, 0, 0);
  SimConfig config = config_at(start);
  config.run_limit_ms = 40 * hour_ms;
  config.zone_change_utc_ms = at(8, 2, 0, 0);
  config.zone_change_back_utc_ms = at(9, 2, 0, 0);
  config.offset_after_change_minutes = 60;
  sim_reset(config);
  const SimRun run = sim_run({"x", "/TIME=02:30", "/R", "/q"});
  EXPECT_EQ(launch_clock(run, start), (std::vector<int64_t>{7200, 86400 + 5400}));
  // In the repeated hour after the launch, 02:20 counts down to the next night's 02:30.
  config.run_limit_ms = (at(9, 2, 20, 0) - start);
  sim_reset(config);
  sim_run({"x", "/TIME=02:30", "/R"});
  EXPECT_EQ(sim_row_text(13).find("\376 Time left:           24:10:00 (87,000 seconds"), 0u);
}
