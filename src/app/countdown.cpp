// Countdown mode. Each pass sleeps for the refresh interval and adds it to the seconds counted,
// and the count never falls behind the time that really passed. The passes' sleeps end on a
// schedule laid on the monotonic
// clock (one that counts time the machine spent suspended): a cycle's passes end where the
// intervals laid end to end from the cycle's start end, never past the end of the delay, and the
// cycles of a repeat are laid end to end from the first, so that neither drawing, the system's
// sleep granularity nor the launches themselves add up. A stretch the program did not run (a
// suspended machine, a stopped job) counts as seconds passed: the launch it made late comes once
// on waking, and the next cycle is laid from it.
#include "app/countdown.h"

#include "app/launch_report.h"
#include "app/pass_sleep.h"
#include "app/status_screen.h"
#include "app/stop.h"
#include "console/console.h"
#include "console/help_screen.h"
#include "console/key_input.h"
#include "platform/platform.h"
#include "util/grouped_number.h"

namespace {

// A launch later than this after its due time came late because the program did not run.
constexpr int64_t late_ms = 1000;
// The refresh of the passes once 20 seconds or less are left, and of every cycle after a launch.
constexpr int32_t final_refresh_seconds = 1;
constexpr int32_t refresh_after_launch_seconds = 5;

struct Countdown {
  const RunSettings* settings;
  int32_t refresh_seconds; // the settings' at first; a cycle's own after that
  int32_t launch_count;
  CalendarDate start_date;
  ClockTime start_time;
  int64_t cycle_start_ms; // on the monotonic clock
};

// Counts never pass the 32-bit range: a total beyond it ends the count all the same.
int32_t add_saturating(int32_t a, int32_t b) {
  const int64_t sum = static_cast<int64_t>(a) + b;
  return sum > INT32_MAX ? INT32_MAX : static_cast<int32_t>(sum);
}

const char* grouped(int32_t value) {
  return format_grouped(value, 2, ',', 3);
}

void show_status_screen(const Countdown& run, int64_t now_ms, int32_t time_left) {
  const RunSettings& s = *run.settings;
  CalendarDate current_date, due_date;
  const ClockTime current_time = clock_local_at(now_ms, &current_date);
  // The local time the launch will come at, whatever daylight saving does meanwhile; on a later
  // date its hours go on past 24.
  ClockTime due_time = clock_local_at(now_ms + time_left * 1000LL, &due_date);
  due_time.hour += 24 * static_cast<uint32_t>(day_number(due_date) - day_number(current_date));
  draw_title_bar(title_bar_colour(current_time));
  out_print("\n\376 Waiting to launch: \"%s\"\n\n", s.command_shown);
  const ClockTime delay = clock_from_seconds(static_cast<uint32_t>(s.delay_seconds));
  con_print(s.repeat ? "\376 Repeating the command every %ih %im %is (%s seconds)\n"
                     : "\376 Launching the command ONCE in %ih %im %is (%s seconds)\n",
            delay.hour, delay.minute, delay.second, grouped(s.delay_seconds));
  set_foreground(ATTR_BRIGHT_RED);
  con_print("  Hold down ESC for %u seconds to stop\n\n", run.refresh_seconds);
  set_foreground(ATTR_NORMAL);
  con_print("\376 Updating every %u second(s)\n", run.refresh_seconds);
  con_print("\376 Launched %s times so far\n\n", grouped(run.launch_count));
  if (s.excepted_days[0] != '\0') show_excepted_days(s.excepted_days, true);
  if (s.debug) out_print("Day is %i\n", run.start_date.weekday);
  show_clock_lines(con_print, run.start_date, run.start_time, current_date, current_time);
  con_print("\376 Launching at:        %2.2i:%2.2i:%2.2i hrs\n", due_time.hour, due_time.minute,
            due_time.second);
  show_time_left(con_print, time_left);
}

// Stop point in the passes; with /DEBUG the key read is echoed as its number.
void pass_stop_test(bool debug) {
  const char* const message = "\nVorbelin Was Terminated\n";
  if (!debug) {
    stop_check(message);
    return;
  }
  if (key_waiting() != 1) return;
  const bool second_code = key_second_code_pending();
  const int key = read_key_echo();
  out_print("%i ", key);
  if (is_stop_key(key, second_code)) stop_run(message);
}

// Sleeps until a time of the monotonic clock; not at all when it has passed.
void sleep_until(int64_t end_ms, bool until_key) {
  const int64_t left = end_ms - plat_monotonic_ms();
  const uint32_t ms =
      left <= 0 ? 0 : (left > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(left));
  pass_sleep(ms, until_key, 0);
}

// Counts one cycle down. With nothing to draw (/Q without /DEBUG) a pass sleeps until the
// launch, woken only by a key for the stop test.
void count_down(Countdown* run) {
  const RunSettings& s = *run->settings;
  const int64_t delay_ms = s.delay_seconds * 1000LL;
  int32_t elapsed = 0;
  while (elapsed < s.delay_seconds) {
    const int32_t time_left = s.delay_seconds - elapsed;
    if (s.debug) out_print("==> time_left=%li\n", static_cast<long>(time_left));
    clock_follow_zone();
    if (s.announce) show_status_screen(*run, plat_utc_ms(), time_left);
    if (time_left <= 20) run->refresh_seconds = final_refresh_seconds;
    const bool wake_on_key = sleeps_until_key(s);
    pass_stop_test(s.debug);
    const int64_t pass_end_ms = (elapsed + static_cast<int64_t>(run->refresh_seconds)) * 1000;
    const bool whole_pass = pass_end_ms < delay_ms && !wake_on_key;
    sleep_until(run->cycle_start_ms + (whole_pass ? pass_end_ms : delay_ms), wake_on_key);
    elapsed = wake_on_key ? 0 : add_saturating(elapsed, run->refresh_seconds);
    const int64_t passed = (plat_monotonic_ms() - run->cycle_start_ms) / 1000;
    if (passed > elapsed)
      elapsed = passed < s.delay_seconds ? static_cast<int32_t>(passed) : s.delay_seconds;
  }
}

// The next cycle starts where this one's delay ended, or at the launch when that came late.
void start_next_cycle(Countdown* run, int64_t launch_ms) {
  const int64_t due_ms = run->cycle_start_ms + run->settings->delay_seconds * 1000LL;
  run->cycle_start_ms = launch_ms - due_ms > late_ms ? launch_ms : due_ms;
}

void say_launch(LaunchStage stage, const char* command, const char* reason) {
  switch (stage) {
  case LaunchStage::launching: con_print("\376 Launching \"%s\" ...\n", command); return;
  case LaunchStage::completed: con_print("\376 Launch of \"%s\" completed\n", command); return;
  case LaunchStage::failed:
    con_print("\376 Launch of \"%s\" failed: %s\n", command, reason);
    return;
  case LaunchStage::pending: con_print("\376 Launch of \"%s\" still pending\n", command); return;
  }
}

// False when the launch failed; an excepted day is no failure. A failed launch is said even in
// quiet mode, and not counted.
bool attempt_launch(Countdown* run, const CalendarDate& date) {
  const RunSettings& s = *run->settings;
  if (announce_excepted_day(s.excepted_days, date)) return true;
  if (!launch_and_report(s, say_launch)) return false;
  run->launch_count = add_saturating(run->launch_count, 1);
  return true;
}

} // namespace

bool run_countdown(const RunSettings* settings) {
  Countdown run = {settings,     settings->refresh_seconds, 0, {0, 0, 0, 0},
                   {0, 0, 0, 0}, plat_monotonic_ms()};
  run.start_time = clock_now_dated(&run.start_date);
  for (;;) {
    count_down(&run);
    const int64_t launch_ms = plat_monotonic_ms();
    con_print("\n");
    // The excepted day is the one the launch falls on, in the zone of the moment.
    clock_follow_zone();
    const bool launched = attempt_launch(&run, date_today());
    run.refresh_seconds = refresh_after_launch_seconds;
    stop_check("Vorbelin Terminated.\n");
    if (!settings->repeat) return launched;
    start_next_cycle(&run, launch_ms);
  }
}
