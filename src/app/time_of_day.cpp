// Time-of-day mode. It decides from the local wall clock alone, once per local date: a launch
// falls due when a reading after a pass's sleep is in the target minute, or when the target time
// lies between that reading and the one before it and the two are at most three hours apart (an
// hour that daylight saving skips, a clock set forward, a long refresh interval). Wall time that
// comes again (the autumn night, a clock set back) never launches the same date twice.
#include "app/time_of_day.h"

#include "app/status_screen.h"
#include "app/stop.h"
#include "console/console.h"
#include "console/help_screen.h"
#include "platform/platform.h"
#include "util/clock.h"

namespace {

constexpr int64_t day_ms = 86400000;
constexpr int64_t longest_gap_ms = 3 * 3600 * 1000; // a longer one is a night asleep
constexpr int32_t no_day = INT32_MIN;

struct TimeOfDay {
  const RunSettings* settings;
  int32_t target_seconds;
  CalendarDate start_date;
  ClockTime start_time;
  int64_t last_reading_ms; // the wall clock's last reading, on the local timeline
  int32_t last_launch_day; // the latest local date whose launch was attempted
};

// A reading as milliseconds on the local timeline: the day number times a day plus the time of
// day. Steps and daylight-saving changes show on it as jumps, forward or back.
int64_t wall_ms(const CalendarDate& date, const ClockTime& time) {
  return day_number(date) * day_ms + clock_ms_of_day(time);
}

// Milliseconds from a time of day to the next target time, 0 at the target itself.
int64_t ms_until_target(const TimeOfDay& run, const ClockTime& now) {
  const int64_t left = run.target_seconds * 1000LL - clock_ms_of_day(now);
  return left < 0 ? left + day_ms : left;
}

void show_status_screen(const TimeOfDay& run, const CalendarDate& current_date,
                        const ClockTime& current_time) {
  const RunSettings& s = *run.settings;
  draw_title_bar(title_bar_colour(current_time));
  out_print("\n\376 Waiting to launch command \"%s\"\n\n", s.command_shown);
  if (s.repeat) {
    out_print("\376 Repeating this command each day at the same time.\n");
  } else {
    out_print("\376 Running command ONCE at %2.2i:%2.2i:00 hrs\n", s.launch_hour, s.launch_minute);
  }
  ClockTime whole_second = current_time;
  whole_second.millisecond = 0;
  const int32_t time_left = static_cast<int32_t>(ms_until_target(run, whole_second) / 1000);
  out_print("\376 Updating every %i seconds\n", s.refresh_seconds);
  set_foreground(ATTR_BRIGHT_RED);
  out_print("  Hold down ESC for %u seconds to stop\n\n", s.refresh_seconds);
  set_foreground(ATTR_NORMAL);
  show_clock_lines(out_print, run.start_date, run.start_time, current_date, current_time);
  out_print("\376 Starting command at: %2.2i:%2.2i:00 hrs\n", s.launch_hour, s.launch_minute);
  if (s.excepted_days[0] != '\0') show_excepted_days(s.excepted_days, false);
  if (time_left != 0) show_time_left(out_print, time_left);
}

// The match on a reading after a pass's sleep: true when a date's launch falls due, with that
// date (the day before the reading's when the stretch that was skipped held midnight).
bool launch_falls_due(TimeOfDay* run, const CalendarDate& date, const ClockTime& time,
                      CalendarDate* due_date) {
  const int64_t now = wall_ms(date, time);
  const int64_t since = now - run->last_reading_ms;
  run->last_reading_ms = now;
  const int64_t latest_target = now - (day_ms - ms_until_target(*run, time)) % day_ms;
  const int32_t target_day = static_cast<int32_t>(latest_target / day_ms);
  const bool in_minute = now - latest_target < 60000;
  const bool stepped_over = since > 0 && since <= longest_gap_ms && now - since <= latest_target;
  if (target_day <= run->last_launch_day || !(in_minute || stepped_over)) return false;
  *due_date = target_day == day_number(date) ? date : date_from_day_number(target_day);
  run->last_launch_day = target_day;
  return true;
}

// A pass's sleep, cut short at the target time when that comes first. The clock is read again
// here: drawing the screen takes time of its own (tenths of a second on a slow console).
void sleep_pass(const TimeOfDay& run) {
  const int64_t planned = run.settings->sleep_ms;
  const int64_t to_target = ms_until_target(run, clock_now());
  if (to_target == 0 || to_target >= planned) {
    plat_sleep(static_cast<uint32_t>(planned));
    return;
  }
  plat_sleep(static_cast<uint32_t>(to_target));
  // The sleep's clock is not the wall clock: a wake a little early is slept out, so that the
  // reading falls inside the minute.
  for (int tries = 0; tries < 3; ++tries) {
    const int64_t short_of = ms_until_target(run, clock_now());
    if (short_of == 0 || short_of > 1000) return;
    plat_sleep(static_cast<uint32_t>(short_of));
  }
}

// Passes until a launch falls due; gives the local date it falls due for.
CalendarDate wait_for_target(TimeOfDay* run) {
  const RunSettings& s = *run->settings;
  for (;;) {
    CalendarDate current_date;
    const ClockTime current_time = clock_now_dated(&current_date);
    if (s.announce) show_status_screen(*run, current_date, current_time);
    stop_check("\nVorbelin Was Terminated.\n");
    sleep_pass(*run);
    CalendarDate due_date;
    const ClockTime after_sleep = clock_now_dated(&current_date);
    if (launch_falls_due(run, current_date, after_sleep, &due_date)) return due_date;
    stop_check("Vorbelin Terminated.\n");
  }
}

// False when the launch failed, which is said even in quiet mode; an excepted day is no failure.
bool attempt_launch(const RunSettings& s, const CalendarDate& date) {
  if (announce_excepted_day(s.excepted_days, date)) return true;
  const LaunchTexts texts = {"\n\376 Launching %s ...\n", "\376 Launch of %s complete.\n",
                             "\376 Launch of %s failed: %s\n", "\376 Launch of %s still pending\n"};
  return launch_announced(s, texts);
}

} // namespace

bool run_time_of_day(const RunSettings* settings) {
  TimeOfDay run = {settings,
                   (settings->launch_hour * 60 + settings->launch_minute) * 60,
                   {0, 0, 0, 0},
                   {0, 0, 0, 0},
                   0,
                   no_day};
  run.start_time = clock_now_dated(&run.start_date);
  run.last_reading_ms = wall_ms(run.start_date, run.start_time);
  for (;;) {
    const bool launched = attempt_launch(*settings, wait_for_target(&run));
    if (!settings->repeat) return launched;
    plat_sleep(static_cast<uint32_t>(settings->sleep_ms));
  }
}
