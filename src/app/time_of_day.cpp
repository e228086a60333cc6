// Time-of-day mode. It decides from the clock alone: a launch falls due in the first pass whose
// after-sleep reading is in the target minute, and only a pass in the target hour at another
// minute arms the next one.
#include "app/time_of_day.h"

#include "app/launch.h"
#include "app/status_screen.h"
#include "app/stop.h"
#include "console/console.h"
#include "console/help_screen.h"
#include "console/spinner.h"
#include "platform/platform.h"
#include "util/clock.h"
#include "util/grouped_number.h"
#include "util/text.h"

namespace {

struct TimeOfDay {
  const RunSettings* settings;
  int32_t target_seconds;
  CalendarDate start_date;
  ClockTime start_time;
  bool launch_done;
};

int32_t seconds_until(int32_t target_seconds, const ClockTime& now) {
  const int32_t now_seconds = static_cast<int32_t>(now.hour * 3600 + now.minute * 60 + now.second);
  const int32_t left = target_seconds - now_seconds;
  return left < 0 ? left + 86400 : left;
}

void show_status_screen(const TimeOfDay& run, const CalendarDate& current_date,
                        const ClockTime& current_time) {
  const RunSettings& s = *run.settings;
  draw_title_bar(title_bar_colour(current_time));
  out_print("\n\376 Waiting to launch command \"%s\"\n\n", s.command);
  if (s.repeat) {
    out_print("\376 Repeating this command each day at the same time.\n");
  } else {
    out_print("\376 Running command ONCE at %2.2i:%2.2i:00 hrs\n", s.launch_hour, s.launch_minute);
  }
  const int32_t time_left = seconds_until(run.target_seconds, current_time);
  out_print("\376 Updating every %i seconds\n", s.refresh_seconds);
  set_foreground(ATTR_BRIGHT_RED);
  out_print("  Hold down ESC for %u seconds to stop\n\n", s.refresh_seconds);
  set_foreground(ATTR_NORMAL);
  show_date_line(out_print, "Running since:       ", run.start_date);
  out_print("\376 At:                  %2.2i:%2.2i:%2.2i hrs\n", run.start_time.hour,
            run.start_time.minute, run.start_time.second);
  show_date_line(out_print, "Current date is:     ", current_date);
  out_print("\376 Current time is now: %2.2i:%2.2i:%2.2i hrs\n", current_time.hour,
            current_time.minute, current_time.second);
  out_print("\376 Starting command at: %2.2i:%2.2i:00 hrs\n", s.launch_hour, s.launch_minute);
  if (s.excepted_days[0] != '\0') show_excepted_days(s.excepted_days, false);
  if (time_left == 0) return;
  set_foreground(ATTR_BRIGHT_BLUE);
  out_print("\376 Time left:           %2.2i:%2.2i:%2.2i (%s seconds remaing)... ",
            time_left / 3600, (time_left % 3600) / 60, time_left % 60,
            format_grouped(time_left, 2, ',', 3));
  set_foreground(ATTR_NORMAL);
  spinner_step(1);
  out_print("\n");
}

// The match on the clock read after a pass's sleep: true when the launch falls due.
bool launch_falls_due(TimeOfDay* run, const ClockTime& now) {
  const RunSettings& s = *run->settings;
  if (static_cast<int32_t>(now.hour) != s.launch_hour) return false;
  if (static_cast<int32_t>(now.minute) != s.launch_minute) {
    run->launch_done = false;
    return false;
  }
  return !run->launch_done;
}

// Passes until the launch falls due; gives the UTC date read at the start of the last one.
CalendarDate wait_for_target(TimeOfDay* run) {
  const RunSettings& s = *run->settings;
  for (;;) {
    const CalendarDate current_date = date_today_utc();
    const ClockTime current_time = clock_now();
    if (s.announce) show_status_screen(*run, current_date, current_time);
    stop_check("\nVorbelin Was Terminated.\n");
    plat_sleep(static_cast<uint32_t>(s.sleep_ms));
    if (launch_falls_due(run, clock_now())) return current_date;
    stop_check("Vorbelin Terminated.\n");
  }
}

void attempt_launch(const RunSettings& s, const CalendarDate& date) {
  if (announce_excepted_day(s.excepted_days, date)) return;
  if (s.announce) con_print("\n\376 Launching %s ...\n", s.command);
  launch_command(s.interpreter, s.command);
  if (s.announce) con_print("\376 Launch of %s complete.\n", s.command);
}

} // namespace

void run_time_of_day(const RunSettings* settings) {
  TimeOfDay run = {settings,
                   (settings->launch_hour * 60 + settings->launch_minute) * 60,
                   {0, 0, 0, 0},
                   {0, 0, 0, 0},
                   false};
  run.start_date = date_today_utc();
  run.start_time = clock_now();
  for (;;) {
    attempt_launch(*settings, wait_for_target(&run));
    run.launch_done = true;
    if (!settings->repeat) return;
    plat_sleep(static_cast<uint32_t>(settings->sleep_ms));
  }
}
