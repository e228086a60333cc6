// The countdown mode: counts a relative delay down in passes with a live status screen, then
// launches the command, once or after every interval.
#pragma once

#include <cstdint>

#include "app/run_settings.h"
#include "util/clock.h"

// Returns after the launch attempt of a run without repeat; a repeating run ends in a stop test.
void run_countdown(RunSettings* settings);

bool is_excepted_day(const char* excepted_days, const CalendarDate& date);
// The block of the status screen that names the excepted days; coloured red when asked.
void show_excepted_days(const char* excepted_days, bool coloured);
// Writes the launch attempt's outcome: the excepted-day message, or nothing.
bool announce_excepted_day(const char* excepted_days, const CalendarDate& date);
// A date line of the status screens, written with the channel given (con_print or out_print).
typedef int (*PrintChannel)(const char* format, ...);
void show_date_line(PrintChannel print, const char* label, const CalendarDate& date);
// The status screens' colour of the title bar for a second of the clock.
int title_bar_colour(const ClockTime& time);
