// The pieces both status screens draw alike.
#include "app/status_screen.h"

#include "console/console.h"
#include "console/spinner.h"
#include "util/grouped_number.h"
#include "util/text.h"

int title_bar_colour(const ClockTime& time) {
  return static_cast<int>(time.second % 7 + 1) * 16;
}

// A date line, written with the channel the screen gives it.
static void show_date_line(PrintChannel print, const char* label, const CalendarDate& date) {
  print("\376 %s%s %2.2i%s %s %4.4i\n", label, day_name(date.weekday), date.day,
        ordinal_suffix(date.day), month_name(date.month), date.year);
}

void show_clock_lines(PrintChannel print, const CalendarDate& start_date,
                      const ClockTime& start_time, const CalendarDate& current_date,
                      const ClockTime& current_time) {
  show_date_line(print, "Running since:       ", start_date);
  print("\376 At:                  %2.2i:%2.2i:%2.2i hrs\n", start_time.hour, start_time.minute,
        start_time.second);
  show_date_line(print, "Current date is:     ", current_date);
  print("\376 Current time is now: %2.2i:%2.2i:%2.2i hrs\n", current_time.hour, current_time.minute,
        current_time.second);
}

void show_time_left(PrintChannel print, int32_t time_left) {
  set_foreground(ATTR_BRIGHT_BLUE);
  print("\376 Time left:           %2.2i:%2.2i:%2.2i (%s seconds remaing)... ", time_left / 3600,
        (time_left % 3600) / 60, time_left % 60, format_grouped(time_left, 2, ',', 3));
  set_foreground(ATTR_NORMAL);
  spinner_step(1);
  print("\n");
}

static bool is_excepted_day(const char* excepted_days, const CalendarDate& date) {
  if (excepted_days[0] == '\0') return false;
  return text_pos_nocase(excepted_days, day_abbrev(date.weekday)) > 0;
}

void show_excepted_days(const char* excepted_days, bool coloured) {
  if (coloured) set_foreground(ATTR_BRIGHT_RED);
  con_print("\376 Not running on ...\n  ");
  for (int weekday = 0; weekday <= 6; ++weekday) {
    if (text_pos_nocase(excepted_days, day_abbrev(weekday)) != 0) {
      con_print("%s, ", day_name(weekday));
    }
  }
  if (coloured) set_foreground(ATTR_NORMAL);
  con_print("\n");
}

bool announce_excepted_day(const char* excepted_days, const CalendarDate& date) {
  if (!is_excepted_day(excepted_days, date)) return false;
  con_print("\376 Not executing on excepted day (%s)\n", day_name(date.weekday));
  return true;
}
