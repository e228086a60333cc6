// The countdown mode: passes, refresh switches, launches, repeats, excepted days, stops and the
// status screen itself.
#include <gtest/gtest.h>
#include <numeric>

#include "scenario/sim_helpers.h"

namespace {

std::vector<int> range_down(int from, int to, int step) {
  std::vector<int> values;
  for (int v = from; v >= to; v -= step) values.push_back(v);
  return values;
}

std::vector<int> concat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

} // namespace

TEST(Countdown, DefaultDelayOfOneSecond) {
  const SimRun run = run_from(tuesday_morning(), {"backup.exe", "/anything"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(time_left_values(run.console), std::vector<int>{1});
  EXPECT_EQ(count_of(run.console, "\376 Updating every 5 second(s)\n"), 1);
  EXPECT_EQ(pass_sleeps(run), std::vector<uint32_t>{1000});
  EXPECT_EQ(run.launches, std::vector<std::string>{"CMD /C START backup.exe"});
  EXPECT_NE(run.console.find("\n\376 Launching \"backup.exe\" ...\n\376 Launch of \"backup.exe\" "
                             "completed\n"),
            std::string::npos);
}

TEST(Countdown, SwitchesToOneSecondAtTwentyLeft) {
  const SimRun run = run_from(tuesday_morning(), {"x", "/TIME=100"});
  EXPECT_EQ(time_left_values(run.console), concat(range_down(100, 20, 5), range_down(19, 1, 1)));
  const std::vector<uint32_t> sleeps = pass_sleeps(run);
  EXPECT_EQ(std::accumulate(sleeps.begin(), sleeps.end(), 0u), 100000u);
  // The pass at 20 left still shows the 5-second interval but already sleeps 1 second.
  EXPECT_EQ(sleeps[16], 1000u);
  EXPECT_EQ(count_of(run.console, "Updating every 5 second(s)"), 17);
  EXPECT_EQ(run.launches.size(), 1u);
  EXPECT_EQ(run.launch_times_ms.back(), 100000 + 10);
}

TEST(Countdown, SleepsEndOnTheScheduleWhenEachRunsLong) {
  SimConfig config = config_at(tuesday_morning());
  config.oversleep_ms = 16;
  sim_reset(config);
  const SimRun run = sim_run({"x", "/TIME=45", "/TICK=1"});
  // Each pass sleeps what is left of its second; only the last sleep's overrun remains.
  EXPECT_EQ(time_left_values(run.console), range_down(45, 1, 1));
  std::vector<uint32_t> sleeps(45, 984);
  sleeps[0] = 1000;
  EXPECT_EQ(pass_sleeps(run), sleeps);
  ASSERT_EQ(run.launches.size(), 1u);
  EXPECT_EQ(run.launch_times_ms[0], 10 + 16 + 45000 + 16);
}

TEST(Countdown, LongRefreshIntervals) {
  const SimRun thirty = run_from(tuesday_morning(), {"x", "/TIME=100", "/TICK=30"});
  EXPECT_EQ(time_left_values(thirty.console), concat({100, 70, 40, 10}, range_down(9, 1, 1)));
  // No pass sleeps past the end of the delay.
  const SimRun long_tick = run_from(tuesday_morning(), {"x", "/TIME=100", "/TICK=1000"});
  EXPECT_EQ(time_left_values(long_tick.console), std::vector<int>{100});
  EXPECT_EQ(pass_sleeps(long_tick), std::vector<uint32_t>{100000});
  EXPECT_EQ(long_tick.launch_times_ms, std::vector<int64_t>{100000 + 10});
  const SimRun fifty = run_from(tuesday_morning(), {"x", "/TIME=33", "/TICK=50"});
  EXPECT_EQ(fifty.launch_times_ms, std::vector<int64_t>{33000 + 10});
}

TEST(Countdown, RepeatRedrawsTheFullDelayAtOnce) {
  const int64_t eight_hours = 8 * 3600 * 1000LL;
  const SimRun run =
      run_from(tuesday_morning(), {"backup.exe", "/time=8h", "/REPEAT"}, 2 * eight_hours + 1000);
  ASSERT_EQ(run.launches.size(), 2u);
  EXPECT_EQ(run.launch_times_ms[0], eight_hours + 10);
  EXPECT_EQ(run.launch_times_ms[1], 2 * eight_hours + 10);
  const size_t after = run.console.find("\376 Launch of \"backup.exe\" completed\n");
  const std::string next = run.console.substr(after);
  EXPECT_EQ(time_left_values(next).front(), 28800);
  EXPECT_NE(next.find("(28,800 seconds remaing)"), std::string::npos);
  EXPECT_NE(next.find("\376 Repeating the command every 8h 0m 0s (28,800 seconds)\n"),
            std::string::npos);
  EXPECT_NE(next.find("\376 Updating every 5 second(s)\n\376 Launched 1 times so far\n"),
            std::string::npos);
}

TEST(Countdown, RepeatedCyclesAreLaidEndToEnd) {
  // Each launch takes 440 ms of the command processor's; none of it moves the next launch.
  SimConfig config = config_at(tuesday_morning());
  config.launch_ms = 440;
  config.run_limit_ms = 3600 * 1000;
  sim_reset(config);
  const SimRun run = sim_run({"x", "/TIME=2", "/R", "/q"});
  ASSERT_EQ(run.launches.size(), 1799u);
  for (size_t k = 0; k < run.launch_times_ms.size(); ++k) {
    ASSERT_EQ(run.launch_times_ms[k], 10 + 2000 * static_cast<int64_t>(k + 1)) << k;
  }
}

namespace {

// A repeating countdown whose machine is suspended for a while from a time.
SimRun run_suspended(const std::vector<std::string>& words, int64_t at_ms, int64_t for_ms) {
  SimConfig config = config_at(tuesday_morning());
  config.run_limit_ms = 10 * 60 * 1000;
  sim_reset(config);
  sim_suspend_at(at_ms, for_ms);
  return sim_run(words);
}

} // namespace

TEST(Countdown, TimeAsleepCountsAndALateLaunchRestartsTheGrid) {
  // Suspended for 150 s half-way through the first minute: one launch on waking, the next a
  // minute after it.
  // The sleep that fell due while suspended ends on waking, not a whole sleep later.
  const SimRun run = run_suspended({"x", "/TIME=60", "/R"}, 31000, 150000);
  ASSERT_GE(run.launches.size(), 3u);
  const int64_t woke = 31000 + 150000;
  EXPECT_EQ(run.launch_times_ms[0], woke);
  EXPECT_EQ(run.launch_times_ms[1], woke + 60000);
  EXPECT_EQ(run.launch_times_ms[2], woke + 120000);
  const std::string first_cycle = run.console.substr(0, run.console.find("Launch of"));
  EXPECT_EQ(time_left_values(first_cycle).back(), 30);
  // Stopped for 23 s at 15 s of a 20-second cycle: less than a cycle missed, and still the next
  // launch comes a whole delay after the late one, not on the old grid a second later.
  const SimRun stopped = run_suspended({"x", "/TIME=20", "/R"}, 15000, 23000);
  ASSERT_GE(stopped.launches.size(), 2u);
  EXPECT_EQ(stopped.launch_times_ms[1] - stopped.launch_times_ms[0], 20000);
}

TEST(Countdown, RepeatWithAShortDelayStartsEachCycleAtFiveSeconds) {
  const SimRun run = run_from(tuesday_morning(), {"x", "/TIME=15", "/R"}, 40000);
  EXPECT_EQ(run.launches.size(), 2u);
  // First cycle: refresh 2 from /TIME, later cycles 5; each switches to 1 in its first pass.
  EXPECT_NE(run.console.find("(15 seconds remaing)"), std::string::npos);
  EXPECT_EQ(count_of(run.console, "Updating every 2 second(s)"), 1);
  EXPECT_EQ(count_of(run.console, "Updating every 5 second(s)"), 2);
  const std::vector<int> values = time_left_values(run.console);
  ASSERT_GE(values.size(), 16u);
  EXPECT_EQ(std::vector<int>(values.begin(), values.begin() + 16),
            concat(range_down(15, 1, 1), {15}));
}

TEST(Countdown, ExceptedWeekdayLaunchesNothing) {
  const SimRun run = run_from(tuesday_morning(), {"x", "/TIME=2", "/EXCEPT=MonTUE", "/R"}, 5000);
  EXPECT_TRUE(run.launches.empty());
  EXPECT_EQ(count_of(run.console, "\376 Not executing on excepted day (Tuesday)\n"), 2);
  EXPECT_EQ(count_of(run.console, "Launched 1 times"), 0);
  EXPECT_NE(run.console.find("\376 Not running on ...\n  Monday, Tuesday, \n"), std::string::npos);
  // Friday 20:00 in New York is Saturday in UTC: the local Friday launches.
  SimConfig config = config_at(sim_utc(2026, 12, 12, 1, 0, 0));
  config.local_offset_minutes = -300;
  sim_reset(config);
  EXPECT_EQ(sim_run({"x", "/EXCEPT=SatSun"}).launches.size(), 1u);
  // Due at 00:30 on Sunday after an hour-long pass that began on Saturday: Sunday is excepted.
  const SimRun midnight =
      run_from(sim_utc(2026, 12, 12, 23, 30, 0), {"x", "/TIME=1h", "/TICK=3600", "/EXCEPT=Sun"});
  EXPECT_TRUE(midnight.launches.empty());
  EXPECT_NE(midnight.console.find("excepted day (Sunday)"), std::string::npos);
}

TEST(Countdown, QuietModeKeepsOnlyWhatMustBeSeen) {
  const SimRun run = run_from(tuesday_morning(), {"x", "/q", "/TIME=3"});
  EXPECT_EQ(run.console, "\n");
  EXPECT_EQ(run.launches.size(), 1u);
  const SimRun excepted = run_from(tuesday_morning(), {"x", "/q", "/EXCEPT=tue"});
  EXPECT_EQ(excepted.console, "\n\376 Not executing on excepted day (Tuesday)\n");
  SimConfig config = config_at(tuesday_morning());
  config.stdout_redirected = true;
  sim_reset(config);
  sim_key_char(100, 'k');
  const SimRun debug = sim_run({"x", "/q", "/DEBUG", "/TIME=2"});
  EXPECT_EQ(debug.out, "LAUNCH-AT is False\r\n==> time_left=2\r\n==> time_left=1\r\n");
}

TEST(Countdown, LongDelaysAndDueTimesPastMidnight) {
  const SimRun day = run_from(tuesday_morning(), {"x", "/TIME=25h"}, 1000);
  EXPECT_NE(day.console.find("25:00:00 (90,000 seconds remaing)"), std::string::npos);
  EXPECT_NE(day.console.find("ONCE in 25h 0m 0s (90,000 seconds)"), std::string::npos);
  const SimRun late = run_from(sim_utc(2026, 12, 8, 23, 0, 0), {"x", "/TIME=2h"}, 1000);
  EXPECT_NE(late.console.find("\376 Launching at:        25:00:00 hrs\n"), std::string::npos);
  // Three hours from 01:00 on a night whose 02:00 becomes 03:00: the launch comes at 05:00.
  SimConfig spring = config_at(sim_utc(2026, 10, 3, 15, 0, 0)); // 01:00 at UTC+10
  spring.local_offset_minutes = 600;
  spring.zone_change_utc_ms = sim_utc(2026, 10, 3, 16, 0, 0);
  spring.offset_after_change_minutes = 660;
  spring.run_limit_ms = 1000;
  sim_reset(spring);
  EXPECT_NE(sim_run({"x", "/TIME=3h"}).console.find("\376 Launching at:        05:00:00 hrs\n"),
            std::string::npos);
}

TEST(Countdown, DatesAndTimesAreLocal) {
  SimConfig config = config_at(sim_utc(2026, 12, 6, 22, 30, 0)); // Sunday in UTC
  config.local_offset_minutes = 120;                             // 00:30 Monday local
  config.run_limit_ms = 1000;
  sim_reset(config);
  const SimRun run = sim_run({"x", "/TIME=5"});
  EXPECT_NE(run.console.find("\376 Running since:       Monday 07th December 2026\n"
                             "\376 At:                  00:30:00 hrs\n"
                             "\376 Current date is:     Monday 07th December 2026\n"
                             "\376 Current time is now: 00:30:00 hrs\n"),
            std::string::npos);
}

TEST(Countdown, StopsInThePassesAndAfterTheLaunch) {
  // ESC during a sleep: the next pass's stop test ends the run.
  sim_reset(config_at(tuesday_morning()));
  sim_key_char(7000, 27, 1);
  const SimRun esc = sim_run({"x", "/TIME=60", "/R"});
  EXPECT_EQ(esc.status, 0);
  EXPECT_EQ(esc.console.substr(esc.console.size() - 26), "\x1b\nVorbelin Was Terminated\n");
  EXPECT_EQ(time_left_values(esc.console), (std::vector<int>{60, 58, 56, 54, 52}));
  EXPECT_TRUE(esc.launches.empty());
  // A letter, then ESC: the letter is echoed and only the next test stops.
  sim_reset(config_at(tuesday_morning()));
  sim_key_char(100, 'a');
  sim_key_char(200, 27, 1);
  const SimRun two = sim_run({"x", "/TIME=60", "/R"});
  EXPECT_EQ(time_left_values(two.console), (std::vector<int>{60, 58, 56}));
  EXPECT_NE(two.console.find("... /\na"), std::string::npos);
  // Grey Up: 224 is echoed, 72 is not, and neither stops.
  sim_reset(config_at(tuesday_morning()));
  sim_key_code(100, 72, ENHANCED_KEY_FLAG);
  const SimRun arrow = sim_run({"x", "/TIME=6", "/q"});
  EXPECT_EQ(arrow.console, std::string("\xe0\n", 2));
  EXPECT_EQ(arrow.launches.size(), 1u);
  // Ctrl-2 (a terminal's NUL) is 0 then 3: a second code is no Ctrl-C.
  sim_reset(config_at(tuesday_morning()));
  sim_key_code(100, 3, LEFT_CTRL_DOWN);
  const SimRun ctrl_2 = sim_run({"x", "/TIME=6", "/q"});
  EXPECT_EQ(ctrl_2.console, std::string("\0\n", 2));
  EXPECT_EQ(ctrl_2.launches.size(), 1u);
  // Ctrl-C read as a key stops like ESC.
  sim_reset(config_at(tuesday_morning()));
  sim_key_char(100, 3, 46, LEFT_CTRL_DOWN);
  EXPECT_EQ(sim_run({"x", "/TIME=60", "/q"}).console, "\003\nVorbelin Was Terminated\n");
  // Quiet, ESC in the wait for the launch stops at once.
  sim_reset(config_at(tuesday_morning()));
  sim_key_char(1500, 27, 1);
  const SimRun quiet = sim_run({"x", "/TIME=2", "/R", "/q"});
  EXPECT_TRUE(quiet.launches.empty());
  EXPECT_EQ(quiet.console, "\x1b\nVorbelin Was Terminated\n");
}

TEST(Countdown, DebugEchoesTheKeyCode) {
  SimConfig config = config_at(tuesday_morning());
  config.stdout_redirected = true;
  sim_reset(config);
  sim_key_char(100, 'k');
  sim_key_char(1500, 'z');
  const SimRun run = sim_run({"x", "/DEBUG", "/q", "/TIME=3"});
  EXPECT_NE(run.out.find("==> time_left=2\r\n==> time_left=1\r\n122 "), std::string::npos);
  // Ctrl-2 is 0 then 3: neither the pass's test nor the one after the launch stops on the 3.
  sim_reset(config);
  sim_key_char(100, 'k');
  sim_key_code(1500, 3, LEFT_CTRL_DOWN);
  const SimRun ctrl_2 = sim_run({"x", "/DEBUG", "/q", "/TIME=3"});
  EXPECT_NE(ctrl_2.out.find("==> time_left=1\r\n0 "), std::string::npos);
  EXPECT_EQ(ctrl_2.launches.size(), 1u);
  EXPECT_EQ(count_of(ctrl_2.console, "Terminated"), 0);
}

TEST(Countdown, WholeStatusScreenWithItsColours) {
  sim_reset(config_at(sim_utc(2026, 12, 7, 9, 15, 3)));
  std::string screen;
  std::vector<uint16_t> attrs;
  sim_on_sleep([&](uint32_t ms) {
    if (ms < 1000 || !screen.empty()) return;
    screen = sim_screen_text();
    for (int row = 0; row < 19; ++row) attrs.push_back(sim_cell_attr(2, row));
    attrs.push_back(sim_cell_attr(79, 0));
    sim_key_char(0, 27, 1); // stop at the next pass
  });
  const SimRun run = sim_run({"backup.exe", "/TIME=1h30m", "/EXCEPT=SAT,sun", "/R"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(screen,
            " Vorbelin " VORBELIN_VERSION " - waits, then launches a program or internal command\n"
            "\n"
            "\376 Waiting to launch: \"backup.exe\"\n"
            "\n"
            "\376 Repeating the command every 1h 30m 0s (5,400 seconds)\n"
            "  Hold down ESC for 5 seconds to stop\n"
            "\n"
            "\376 Updating every 5 second(s)\n"
            "\376 Launched 0 times so far\n"
            "\n"
            "\376 Not running on ...\n"
            "  Sunday, Saturday,\n"
            "\376 Running since:       Monday 07th December 2026\n"
            "\376 At:                  09:15:03 hrs\n"
            "\376 Current date is:     Monday 07th December 2026\n"
            "\376 Current time is now: 09:15:03 hrs\n"
            "\376 Launching at:        10:45:03 hrs\n"
            "\376 Time left:           01:30:00 (5,400 seconds remaing)... \263");
  // Second 3: background (3 mod 7 + 1) * 16, bright white text.
  const std::vector<uint16_t> expected = {0x4F, 7,    7, 7, 7, 0x0C, 7, 7, 7, 7,
                                          0x0C, 0x0C, 7, 7, 7, 7,    7, 9, 7, 0x4F};
  EXPECT_EQ(attrs, expected);
}

TEST(Countdown, FailedLaunchesAreSaidAndNotCounted) {
  SimConfig config = config_at(tuesday_morning());
  config.launch = {LaunchResult::failed, "command not found"};
  config.run_limit_ms = 5000;
  sim_reset(config);
  const SimRun repeated = sim_run({"x", "/TIME=2", "/R"});
  EXPECT_EQ(count_of(repeated.console, "\376 Launch of \"x\" failed: command not found\n"), 2);
  EXPECT_EQ(count_of(repeated.console, "Launched 1 times"), 0);
  EXPECT_EQ(count_of(repeated.console, "completed"), 0);
  // Without repeat the run ends with status 2; quiet mode still says why.
  config.launch = {LaunchResult::failed, "no command processor"};
  sim_reset(config);
  const SimRun once = sim_run({"x", "/q"});
  EXPECT_EQ(once.status, 2);
  EXPECT_EQ(once.console, "\n\376 Launch of \"x\" failed: no command processor\n");
  config.launch = {LaunchResult::failed, "exit code 9009"};
  config.run_limit_ms = 60000;
  sim_reset(config);
  const SimRun daily = sim_run({"x", "/TIME=08:00"});
  EXPECT_EQ(daily.status, 2);
  EXPECT_NE(daily.console.find("\n\376 Launching x ...\n\376 Launch of x failed: exit code 9009\n"),
            std::string::npos);
  // A command processor still busy when the wait ends is let go: the launch counts.
  config.launch = {LaunchResult::pending, ""};
  config.run_limit_ms = 5000;
  sim_reset(config);
  const SimRun pending = sim_run({"x", "/TIME=2", "/R", "/q"});
  EXPECT_EQ(count_of(pending.console, "\376 Launch of \"x\" still pending\n"), 2);
}
