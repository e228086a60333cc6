// Everything the command line decides, and the option walk that fills it. Read-only once read:
// a mode keeps what changes (the countdown's refresh) in its own state.
#pragma once

#include <cstdint>

enum : int {
  TEXT_ROOM = 257,          // 256 characters and the terminating zero
  SHOWN_ROOM = 4 * 256 + 1, // the command in the console's code page: UTF-8 may take 4 bytes
};

struct RunSettings {
  char command[TEXT_ROOM];
  char command_shown[SHOWN_ROOM]; // the command as the console shows the characters typed
  char interpreter[TEXT_ROOM];
  char excepted_days[TEXT_ROOM];
  int32_t delay_seconds;
  int32_t refresh_seconds;
  int32_t sleep_ms;
  int32_t launch_hour;
  int32_t launch_minute;
  bool launch_at;
  bool announce;
  bool repeat;
  bool debug;
};

RunSettings default_run_settings();
// Fills settings from the words; does not come back when it shows the help screen or ends the
// run with an error. May change the words in place.
void read_run_settings(int count, char** words, RunSettings* settings);
