// Time-of-day mode. Each target is an instant: the target time on a local date turned into one
// by the system's zone rules (a time that a daylight-saving night skips becomes the first instant
// after the skip, a time it repeats the first of the two), and each local date launches once. A
// pass's sleep ends at the earlier of its refresh interval and the next target. Clock steps are
// measured as steps, the wall clock's advance less the monotonic clock's: forward by at most
// three hours over a target launches it at once, by more goes on to the next target; back by at
// most three hours launches no date twice, by more is a new start at the new time. A target that
// passed while the program did not run (a machine asleep, a stopped job) launches on waking when
// it passed at most three hours before.
#include "app/time_of_day.h"

#include "app/launch_report.h"
#include "app/pass_sleep.h"
#include "app/status_screen.h"
#include "app/stop.h"
#include "console/console.h"
#include "console/help_screen.h"
#include "platform/platform.h"
#include "util/clock.h"

namespace {

constexpr int64_t longest_step_ms = 3 * 3600 * 1000;
// A quiet wait looks at the clock this often at least: to see a move of the zone, and a step
// of the clock where the system does not tell of one.
constexpr int64_t quiet_look_ms = 60000;
constexpr int64_t minute_ms = 60000;
constexpr int64_t no_day = INT64_MIN;

struct Reading {
  int64_t wall_ms; // an instant of the wall clock
  int64_t monotonic_ms;
};

struct TimeOfDay {
  const RunSettings* settings;
  uint32_t target_ms_of_day;
  CalendarDate start_date;
  ClockTime start_time;
  Reading last;            // the clock's last reading after a sleep
  int64_t last_launch_day; // the latest local date whose launch was attempted
  int64_t target_day;      // the next target's local date
  int64_t target_ms;       // and its instant
};

Reading read_clock() {
  return Reading{plat_utc_ms(), plat_monotonic_ms()};
}

// The first target after an instant on a date after the last one launched. A date the zone
// skips whole has no target.
void plan_next_target(TimeOfDay* run, int64_t after_ms) {
  int64_t day = clock_local_day(after_ms);
  if (day <= run->last_launch_day) day = run->last_launch_day + 1;
  int64_t target = clock_instant_of(day, run->target_ms_of_day);
  while (target <= after_ms || !clock_day_exists(day)) {
    target = clock_instant_of(++day, run->target_ms_of_day);
  }
  run->target_day = day;
  run->target_ms = target;
}

// When the system's zone has moved, the next target is planned again in the new one: still on a
// date after the last one launched, so that no local date launches twice across the move.
void follow_zone(TimeOfDay* run, int64_t now_ms) {
  if (!clock_follow_zone()) return;
  if (clock_instant_of(run->target_day, run->target_ms_of_day) == run->target_ms) return;
  plan_next_target(run, now_ms);
}

// A start: a target earlier in the same minute launches at once.
void start_anew(TimeOfDay* run, int64_t now_ms) {
  run->last_launch_day = no_day;
  plan_next_target(run, now_ms - minute_ms);
}

// The date of the target that fell due; the next target is planned after it.
CalendarDate take_target(TimeOfDay* run) {
  run->last_launch_day = run->target_day;
  plan_next_target(run, run->target_ms);
  return date_from_day_number(run->last_launch_day);
}

// Takes the clock's reading after a pass's sleep: a step of the clock starts anew or plans the
// next target. True when the reading has reached the next target and may launch it.
bool take_reading(TimeOfDay* run, const Reading& now) {
  const int64_t step =
      (now.wall_ms - run->last.wall_ms) - (now.monotonic_ms - run->last.monotonic_ms);
  run->last = now;
  if (step < -longest_step_ms) start_anew(run, now.wall_ms);
  if (now.wall_ms < run->target_ms) return false;
  if (step <= longest_step_ms && now.wall_ms - run->target_ms <= longest_step_ms) return true;
  plan_next_target(run, now.wall_ms);
  return false;
}

void show_status_screen(const TimeOfDay& run, int64_t now_ms) {
  const RunSettings& s = *run.settings;
  CalendarDate current_date;
  const ClockTime current_time = clock_local_at(now_ms, &current_date);
  draw_title_bar(title_bar_colour(current_time));
  out_print("\n\376 Waiting to launch command \"%s\"\n\n", s.command_shown);
  if (s.repeat) {
    out_print("\376 Repeating this command each day at the same time.\n");
  } else {
    out_print("\376 Running command ONCE at %2.2i:%2.2i:00 hrs\n", s.launch_hour, s.launch_minute);
  }
  out_print("\376 Updating every %i seconds\n", s.refresh_seconds);
  set_foreground(ATTR_BRIGHT_RED);
  out_print("  Hold down ESC for %u seconds to stop\n\n", s.refresh_seconds);
  set_foreground(ATTR_NORMAL);
  show_clock_lines(out_print, run.start_date, run.start_time, current_date, current_time);
  out_print("\376 Starting command at: %2.2i:%2.2i:00 hrs\n", s.launch_hour, s.launch_minute);
  if (s.excepted_days[0] != '\0') show_excepted_days(s.excepted_days, false);
  // The real time to the next launch, in whole seconds rounded up.
  const int64_t left_ms = run.target_ms - now_ms;
  if (left_ms > 0) show_time_left(out_print, static_cast<int32_t>((left_ms + 999) / 1000));
}

// A pass's sleep, cut short at the next target when that comes first, and none once it has come;
// quiet, a wait of a minute at most that a key ends.
// The clock is read again here: drawing the screen takes time of its own (tenths of a second on
// a slow console).
void sleep_pass(const TimeOfDay& run, bool quiet) {
  const int64_t planned = quiet ? quiet_look_ms : run.settings->sleep_ms;
  const int64_t to_target = run.target_ms - plat_utc_ms();
  if (to_target >= planned) {
    pass_sleep(static_cast<uint32_t>(planned), quiet, WAKE_ON_CLOCK_SET);
    return;
  }
  // The sleep's clock is not the wall clock: a wake a little early is slept out, so that the
  // reading after it has reached the target.
  for (int64_t left = to_target, tries = 0; left > 0 && tries < 4; ++tries) {
    pass_sleep(static_cast<uint32_t>(left), quiet, WAKE_ON_CLOCK_SET);
    left = run.target_ms - plat_utc_ms();
    if (left > 1000) return;
  }
}

// Passes until a target falls due; gives its local date.
CalendarDate wait_for_target(TimeOfDay* run) {
  for (;;) {
    const int64_t now_ms = plat_utc_ms();
    follow_zone(run, now_ms);
    if (run->settings->announce) show_status_screen(*run, now_ms);
    const bool quiet = sleeps_until_key(*run->settings);
    stop_check("\nVorbelin Was Terminated.\n");
    sleep_pass(*run, quiet);
    if (take_reading(run, read_clock())) return take_target(run);
    stop_check("Vorbelin Terminated.\n");
  }
}

void say_launch(LaunchStage stage, const char* command, const char* reason) {
  switch (stage) {
  case LaunchStage::launching: con_print("\n\376 Launching %s ...\n", command); return;
  case LaunchStage::completed: con_print("\376 Launch of %s complete.\n", command); return;
  case LaunchStage::failed: con_print("\376 Launch of %s failed: %s\n", command, reason); return;
  case LaunchStage::pending: con_print("\376 Launch of %s still pending\n", command); return;
  }
}

// False when the launch failed, which is said even in quiet mode; an excepted day is no failure.
bool attempt_launch(const RunSettings& s, const CalendarDate& date) {
  if (announce_excepted_day(s.excepted_days, date)) return true;
  return launch_and_report(s, say_launch);
}

} // namespace

bool run_time_of_day(const RunSettings* settings) {
  TimeOfDay run = {};
  run.settings = settings;
  run.target_ms_of_day = (settings->launch_hour * 60u + settings->launch_minute) * 60000u;
  run.last = read_clock();
  run.start_time = clock_local_at(run.last.wall_ms, &run.start_date);
  // A start inside the target minute finds the target reached: the first pass launches it.
  start_anew(&run, run.last.wall_ms);
  for (;;) {
    const bool launched = attempt_launch(*settings, wait_for_target(&run));
    if (!settings->repeat) return launched;
    sleep_pass(run, sleeps_until_key(*settings));
  }
}
