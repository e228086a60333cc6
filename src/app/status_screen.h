// What the two status screens share: the title bar's colour, the date lines, the excepted days
// with the message of a launch that falls on one, and the launch with its messages.
#pragma once

#include "app/run_settings.h"
#include "util/clock.h"

// Nothing to draw and no trace (/Q without /DEBUG), and no key waiting for the stop test: a
// mode waits for its launch or a key, not in passes of the refresh interval. Asked before the
// pass's stop test: after a key that was no stop key the next sleep is a pass's, so that keys
// typed ahead for the shell are read one a pass, as with the screen.
bool waits_for_key(const RunSettings& settings);
// A pass's sleep, or a wait that a key ends; either may also end at what also_wake_on names
// (WAKE_ON_CLOCK_SET).
void pass_sleep(uint32_t milliseconds, bool until_key, unsigned also_wake_on);

// The colour of the title bar for a second of the clock: a background of 1 to 7.
int title_bar_colour(const ClockTime& time);

// A date line, written with the channel the screen gives it (con_print or out_print).
typedef int (*PrintChannel)(const char* format, ...) __attribute__((format(printf, 1, 2)));
void show_date_line(PrintChannel print, const char* label, const CalendarDate& date);

// The start's date and time, then the current date and time.
void show_clock_lines(PrintChannel print, const CalendarDate& start_date,
                      const ClockTime& start_time, const CalendarDate& current_date,
                      const ClockTime& current_time);
// The time-left line in bright blue, the spinner behind it, and the line's end.
void show_time_left(PrintChannel print, int32_t time_left);

bool is_excepted_day(const char* excepted_days, const CalendarDate& date);
// The block that names the excepted days; coloured red when asked.
void show_excepted_days(const char* excepted_days, bool coloured);
// Writes the excepted-day message when the date is one; true then, and nothing is launched.
bool announce_excepted_day(const char* excepted_days, const CalendarDate& date);

// The texts a mode says a launch with, each taking the command (a failure's also the reason).
struct LaunchTexts {
  const char* launching;
  const char* completed;
  const char* failed;
  const char* pending;
};
// Launches the command: a failure and a launch still pending are said even in quiet mode. False
// when the launch failed.
bool launch_announced(const RunSettings& settings, const LaunchTexts& texts);
