// What the two status screens share: the title bar's colour, the date lines, and the excepted
// days with the message of a launch that falls on one.
#pragma once

#include "app/run_settings.h"
#include "util/clock.h"

// The colour of the title bar for a second of the clock: a background of 1 to 7.
int title_bar_colour(const ClockTime& time);

// The channel a screen's lines are written with (con_print or out_print).
typedef int (*PrintChannel)(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The start's date and time, then the current date and time.
void show_clock_lines(PrintChannel print, const CalendarDate& start_date,
                      const ClockTime& start_time, const CalendarDate& current_date,
                      const ClockTime& current_time);
// The time-left line in bright blue, the spinner behind it, and the line's end.
void show_time_left(PrintChannel print, int32_t time_left);

// The block that names the excepted days; coloured red when asked.
void show_excepted_days(const char* excepted_days, bool coloured);
// Writes the excepted-day message when the date is one; true then, and nothing is launched.
bool announce_excepted_day(const char* excepted_days, const CalendarDate& date);
