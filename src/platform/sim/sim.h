// The simulated backend's controls: a console that is a screen buffer in memory, a scripted
// queue of key events, a fake clock that sleeping advances, recorded launch lines, and the run's
// end handed back to the caller. For the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/screen_buffer.h"

struct SimConfig {
  int columns = 80;
  int buffer_rows = 25;
  int window_rows = 25;    // the visible window: the top rows of the buffer
  bool has_console = true; // console device and screen buffer
  bool has_console_input = true;
  bool has_window = true; // a console window the window manager can find
  bool stdout_redirected = false;
  bool stdout_present = true;
  int64_t utc_ms = 0;                          // milliseconds since 1970-01-01 UTC
  int local_offset_minutes = 0;                // local time minus UTC
  int64_t zone_change_utc_ms = INT64_MAX;      // daylight saving: from this instant until the
  int64_t zone_change_back_utc_ms = INT64_MAX; // next, the local time is UTC plus
  int offset_after_change_minutes = 0;         // this
  int64_t run_limit_ms = 48LL * 3600 * 1000;   // a run still going after this much fake time ends
  LaunchOutcome launch = {LaunchResult::started, ""}; // what every launch comes to
  uint32_t oversleep_ms = 0; // every sleep lasts this much longer than asked, as a timer tick
  uint32_t launch_ms = 0;    // the command processor's time to start the command
  bool utf8_text = false;    // UTF-8 characters in the text take the columns they take
};

struct SimRun {
  int status = 0;
  bool ended_by_limit = false;          // still running when the fake time ran out
  std::string console;                  // bytes written to the console device
  std::string out;                      // bytes of standard output while it is redirected
  std::vector<std::string> launches;    // the launch lines, as Windows hands them on
  std::vector<int64_t> launch_times_ms; // fake time since the run's start
  std::vector<uint32_t> sleeps;
  std::vector<std::string> window_calls; // title and icon calls, in order
  std::vector<std::string> key_screens;  // the screen's text each time a key press is read
};

// A fresh console and clock for the next run.
void sim_reset(const SimConfig& config);
// Runs the program with these words (word 0 is added); its process-wide state starts anew.
SimRun sim_run(const std::vector<std::string>& words);
// What the current run has written and launched so far.
const SimRun& sim_result();
// Runs part of the program the same way: an end of the run inside it comes back as the status.
SimRun sim_call(const std::function<void()>& body);

// Key presses that reach the input queue at a fake time (ms since the run's start).
void sim_key_char(int64_t at_ms, unsigned char ch, uint16_t scan_code = 0, uint32_t state = 0);
void sim_key_code(int64_t at_ms, uint16_t scan_code, uint32_t state);
void sim_push_event(int64_t at_ms, const InputEvent& event);
// Called at every sleep with the milliseconds about to pass; may change the clock.
void sim_on_sleep(std::function<void(uint32_t)> hook);
int64_t sim_now_ms();
void sim_set_now_ms(int64_t utc_ms);
// What befalls the machine when the run has been going at_ms (on the monotonic clock, which only
// the program's sleeps and a suspend move), inside whatever sleep that is:
// the wall clock set to an instant;
void sim_set_clock_at(int64_t at_ms, int64_t utc_ms);
// the machine suspended (or the program stopped) for a while, both clocks going on;
void sim_suspend_at(int64_t at_ms, int64_t for_ms);
// the system's zone moved to a plain offset (local minus UTC), which the program sees when it
// reads the zone again.
void sim_move_zone_at(int64_t at_ms, int offset_minutes);

// Builds a UTC time in milliseconds.
int64_t sim_utc(int year, int month, int day, int hour, int minute, int second);

// What the console shows.
const ScreenBuffer& sim_screen();
// 0-based, trailing blanks removed; a foreign character in UTF-8, once for its columns.
std::string sim_row_text(int row);
std::string sim_screen_text(); // every row up to the last non-blank one, joined by '\n'
uint16_t sim_cell_attr(int x, int y);
uint32_t sim_input_mode();
