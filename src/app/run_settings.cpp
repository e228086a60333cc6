// The command line: defaults, the option walk, the value of /TIME, and the command check.
#include "app/run_settings.h"

#include <cstring>

#include "app/launch.h"
#include "console/console.h"
#include "console/help_screen.h"
#include "console/window_identity.h"
#include "platform/platform.h"
#include "util/run_end.h"
#include "util/text.h"

static void apply_time_option(char* word, RunSettings* settings);
// The longest command the launch line can carry with this interpreter word.
static int longest_command(const char* interpreter);

namespace {

// A word's length, or the limit when the word is at least that long: the walk never scans a huge
// word to its end.
size_t length_at_least(const char* word, size_t limit) {
  size_t n = 0;
  while (n < limit && word[n] != '\0') ++n;
  return n;
}

constexpr int32_t longest_refresh = 2147483; // seconds whose milliseconds still fit 32 bits

[[noreturn]] void fail(int status) {
  end_run(status);
}

void show_help_screen() {
  show_help(ATTR_ON_RED, ATTR_NORMAL);
}

void apply_except_option(const char* word, RunSettings* settings) {
  // Positions 8 and 9 must exist; position 8 is the separator and is not looked at.
  if (length_at_least(word, 9) < 9) return;
  const char* days = word + 8;
  if (length_at_least(days, TEXT_ROOM) >= TEXT_ROOM) {
    con_print("Error: /EXCEPT list too long (at most %i characters).\n", TEXT_ROOM - 1);
    fail(1);
  }
  strcpy(settings->excepted_days, days);
}

void apply_option(char* word, RunSettings* settings) {
  if (strcmp(word, "/?") == 0 || text_equal_nocase(word, "/H")) {
    show_help_screen();
  } else if (text_starts_nocase(word, "/Q")) {
    settings->announce = false;
  } else if (text_starts_nocase(word, "/TICK")) {
    if (length_at_least(word, 7) >= 7) settings->refresh_seconds = read_decimal(word + 6);
  } else if (text_equal_nocase(word, "/DEBUG")) {
    settings->debug = true;
  } else if (text_equal_nocase(word, "/DOS")) {
    strcpy(settings->interpreter, "COMMAND");
  } else if (text_equal_nocase(word, "/REPEAT") || text_equal_nocase(word, "/R")) {
    settings->repeat = true;
  } else if (text_starts_nocase(word, "/EXCEPT")) {
    apply_except_option(word, settings);
  } else if (text_starts_nocase(word, "/TIME")) {
    if (word[5] != '\0') apply_time_option(word, settings);
  }
}

void apply_absolute_time(char* word, RunSettings* settings) {
  const size_t length = length_at_least(word, 10);
  // Positions past the end of a short word read as no digits; the cut happens only inside it.
  const int32_t minute = length >= 10 ? read_decimal(word + 9) : 0;
  if (length >= 9) word[8] = '\0';
  const int32_t hour = read_decimal(word + 6);
  if (hour > 23 || hour < 0 || minute > 59 || minute < 0) {
    con_print("Error: invalid time given (%2.2i:%2.2i)\n", hour, minute);
    fail(1);
  }
  settings->launch_hour = hour;
  settings->launch_minute = minute;
  settings->launch_at = true;
}

int64_t clamp_to_int32(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return value;
}

int32_t relative_seconds(const char* value) {
  const int positions[3] = {text_pos_nocase(value, "H"), text_pos_nocase(value, "M"),
                            text_pos_nocase(value, "S")};
  if (positions[0] == 0 && positions[1] == 0 && positions[2] == 0) {
    const int32_t seconds = read_decimal(value);
    return static_cast<uint32_t>(seconds) >= 86399u ? 86399 : seconds;
  }
  const int64_t units[3] = {3600, 60, 1};
  int64_t total = 0;
  for (int i = 0; i < 3; ++i) {
    if (positions[i] == 0) continue;
    total =
        clamp_to_int32(total + read_decimal(digit_run_start(value, positions[i] - 2)) * units[i]);
  }
  return static_cast<int32_t>(total);
}

void apply_relative_time(const char* value, RunSettings* settings) {
  settings->delay_seconds = relative_seconds(value);
  const int32_t delay = settings->delay_seconds;
  settings->refresh_seconds = delay <= 10 ? 1 : (delay <= 60 ? 2 : 5);
  if (delay <= 0) {
    con_print("\376 Error: In /TIME parameter - reset to 1 second\n");
    settings->delay_seconds = 1;
  }
}

void check_command(const char* word, RunSettings* settings) {
  if (word[0] == '/') {
    reset_window_icon();
    con_print("Error: No executable found on command line.\n");
    fail(1);
  }
  // A cut command would launch something other than what the user wrote.
  const int longest = longest_command(settings->interpreter);
  if (length_at_least(word, static_cast<size_t>(longest) + 1) > static_cast<size_t>(longest)) {
    reset_window_icon();
    con_print("Error: Command too long (at most %i characters).\n", longest);
    fail(1);
  }
  strcpy(settings->command, word);
  plat_console_text(word, settings->command_shown, sizeof settings->command_shown);
}

} // namespace

RunSettings default_run_settings() {
  RunSettings settings;
  memset(&settings, 0, sizeof settings);
  strcpy(settings.interpreter, "CMD");
  settings.delay_seconds = 1;
  settings.refresh_seconds = 5;
  settings.announce = true;
  return settings;
}

static void apply_time_option(char* word, RunSettings* settings) {
  const char* value = word + 6;
  if (char_pos(value, ':') != 0) {
    apply_absolute_time(word, settings);
  } else {
    apply_relative_time(value, settings);
  }
}

static int longest_command(const char* interpreter) {
  return LAUNCH_LINE_ROOM - 1 - static_cast<int>(strlen(interpreter)) - LAUNCH_LINE_GLUE;
}

void read_run_settings(int count, char** words, RunSettings* settings) {
  if (count < 3) show_help_screen();
  for (int i = 1; i < count; ++i) {
    if (words[i][0] == '-') words[i][0] = '/';
    apply_option(words[i], settings);
  }
  check_command(words[1], settings);
  // A refresh below one second would never advance the count (or count backwards).
  if (settings->refresh_seconds < 1) settings->refresh_seconds = 1;
  if (settings->refresh_seconds > longest_refresh) settings->refresh_seconds = longest_refresh;
  settings->sleep_ms = settings->refresh_seconds * 1000;
}
