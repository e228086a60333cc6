// The simulated backend: the whole program runs deterministically in memory.
#include <cstdio>
#include <deque>

#include "platform/cp437.h"
#include "platform/platform.h"
#include "platform/screen_buffer.h"
#include "platform/sim/sim.h"

#include "app/vorbelin.h"
#include "console/console.h"
#include "console/key_input.h"
#include "console/spinner.h"
#include "util/clock.h"
#include "util/run_end.h"
#include "util/text.h"

namespace {

struct TimedEvent {
  int64_t at_ms;
  InputEvent event;
};

// What happens to the machine's clocks at a time of the run (on the monotonic clock).
struct ClockEvent {
  enum Kind { set, suspend, zone } kind;
  int64_t at_ms;
  int64_t value; // the instant set, the time suspended, the zone's offset in minutes
};

struct SimExit {
  int status;
  bool by_limit;
};

struct SimState {
  SimConfig config;
  ScreenBuffer screen;
  SimRun run;
  int64_t start_ms = 0;
  int64_t monotonic_ms = 0;
  std::deque<TimedEvent> input;
  std::deque<ClockEvent> clock_events;
  bool zone_moved = false; // the system's zone, not yet read by the program
  int moved_offset_minutes = 0;
  uint32_t input_mode = INPUT_MODE_CONSOLE_DEFAULT;
  std::function<void(uint32_t)> on_sleep;
  void* large_icon = nullptr;
  void* small_icon = nullptr;
};

SimState* state = new SimState; // lives for the whole test process

void* const sim_window = reinterpret_cast<void*>(0x1000);
void* const sim_large_icon = reinterpret_cast<void*>(0x101);
void* const sim_small_icon = reinterpret_cast<void*>(0x102);

// Each run starts as a new process would: every module the program is built of keeps its state
// in one object, which this puts back to its starting values (tests/process_state.py checks that
// no module is left out).
void reset_every_module() {
  clock_reset_state();
  console_reset_state();
  cp437_reset_state();
  key_input_reset_state();
  ordinal_suffix_reset_state();
  run_end_reset_state();
  spinner_reset_state();
}

bool stdout_is_console() {
  return state->config.stdout_present && state->config.has_console &&
         !state->config.stdout_redirected;
}

int64_t elapsed_ms() {
  return state->config.utc_ms - state->start_ms;
}

uint32_t visible_events() {
  uint32_t count = 0;
  for (const TimedEvent& timed : state->input) {
    if (timed.at_ms > elapsed_ms()) break;
    ++count;
  }
  return count;
}

// Both clocks move on; past the run's limit the run ends.
void pass_time(uint32_t milliseconds) {
  state->config.utc_ms += milliseconds;
  state->monotonic_ms += milliseconds;
  if (elapsed_ms() > state->config.run_limit_ms) throw SimExit{-1, true};
}

} // namespace

// --- Controls.

void sim_reset(const SimConfig& config) {
  delete state;
  state = new SimState;
  state->config = config;
  screen_init(&state->screen, config.columns, config.buffer_rows, true);
  state->screen.utf8_text = config.utf8_text;
  state->start_ms = config.utc_ms;
}

SimRun sim_run(const std::vector<std::string>& words) {
  std::vector<std::string> storage;
  storage.push_back("vorbelin");
  storage.insert(storage.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& word : storage) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  return sim_call([&] { end_run(vorbelin_main(static_cast<int>(storage.size()), argv.data())); });
}

const SimRun& sim_result() {
  return state->run;
}

SimRun sim_call(const std::function<void()>& body) {
  reset_every_module();
  try {
    body();
  } catch (const SimExit& end) {
    state->run.status = end.status;
    state->run.ended_by_limit = end.by_limit;
  }
  return state->run;
}

void sim_push_event(int64_t at_ms, const InputEvent& event) {
  auto place = state->input.end();
  while (place != state->input.begin() && (place - 1)->at_ms > at_ms) --place;
  state->input.insert(place, TimedEvent{at_ms, event});
}

void sim_key_char(int64_t at_ms, unsigned char ch, uint16_t scan_code, uint32_t key_state) {
  sim_push_event(at_ms, InputEvent{INPUT_KEY_EVENT, true, ch, scan_code, key_state});
  sim_push_event(at_ms, InputEvent{INPUT_KEY_EVENT, false, ch, scan_code, key_state});
}

void sim_key_code(int64_t at_ms, uint16_t scan_code, uint32_t key_state) {
  sim_key_char(at_ms, 0, scan_code, key_state);
}

void sim_on_sleep(std::function<void(uint32_t)> hook) {
  state->on_sleep = std::move(hook);
}
int64_t sim_now_ms() {
  return state->config.utc_ms;
}
void sim_set_now_ms(int64_t utc_ms) {
  state->config.utc_ms = utc_ms;
}

namespace {

void schedule(const ClockEvent& event) {
  auto place = state->clock_events.end();
  while (place != state->clock_events.begin() && (place - 1)->at_ms > event.at_ms) --place;
  state->clock_events.insert(place, event);
}

} // namespace

void sim_set_clock_at(int64_t at_ms, int64_t utc_ms) {
  schedule(ClockEvent{ClockEvent::set, at_ms, utc_ms});
}
void sim_suspend_at(int64_t at_ms, int64_t for_ms) {
  schedule(ClockEvent{ClockEvent::suspend, at_ms, for_ms});
}
void sim_move_zone_at(int64_t at_ms, int offset_minutes) {
  schedule(ClockEvent{ClockEvent::zone, at_ms, offset_minutes});
}

int64_t sim_utc(int year, int month, int day, int hour, int minute, int second) {
  const CalendarDate date = {year, static_cast<int8_t>(month), static_cast<int8_t>(day), 0};
  return ((day_number(date) * 24LL + hour) * 60 + minute) * 60000 + second * 1000LL;
}

const ScreenBuffer& sim_screen() {
  return state->screen;
}

std::string sim_row_text(int row) {
  std::string text;
  for (int x = 0; x < state->screen.width; ++x) {
    const ScreenCell& cell = screen_row(&state->screen, row)[x];
    if (cell.kind == CELL_WIDE_RIGHT) continue;
    if (cell.kind != CELL_FOREIGN) {
      text += static_cast<char>(cell.ch);
      continue;
    }
    for (uint32_t point : state->screen.foreign[cell.ch]) {
      char bytes[4];
      if (point != 0) text.append(bytes, utf8_encode(point, bytes));
    }
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string sim_screen_text() {
  int last = state->screen.height - 1;
  while (last >= 0 && sim_row_text(last).empty()) --last;
  std::string text;
  for (int y = 0; y <= last; ++y) text += sim_row_text(y) + (y < last ? "\n" : "");
  return text;
}

uint16_t sim_cell_attr(int x, int y) {
  return screen_row(&state->screen, y)[x].attr;
}
uint32_t sim_input_mode() {
  return state->input_mode;
}

// --- The platform surface.

bool plat_stdout_present() {
  return state->config.stdout_present;
}

bool plat_screen_info(ScreenInfo* info) {
  if (!stdout_is_console()) return false;
  const ScreenBuffer& s = state->screen;
  info->size_x = static_cast<int16_t>(s.width);
  info->size_y = static_cast<int16_t>(s.height);
  info->cursor_x = static_cast<int16_t>(s.cursor_x);
  info->cursor_y = static_cast<int16_t>(s.cursor_y);
  info->attr = s.attr;
  info->left = 0;
  info->top = 0;
  info->right = static_cast<int16_t>(s.width - 1);
  info->bottom = static_cast<int16_t>(state->config.window_rows - 1);
  return true;
}

void plat_fill_chars(char ch, uint32_t count, int16_t x, int16_t y) {
  if (stdout_is_console())
    screen_fill_chars(&state->screen, static_cast<unsigned char>(ch), count, x, y);
}

void plat_fill_attrs(uint16_t attr, uint32_t count, int16_t x, int16_t y) {
  if (stdout_is_console()) screen_fill_attrs(&state->screen, attr, count, x, y);
}

void plat_set_cursor(int16_t x, int16_t y) {
  if (stdout_is_console()) screen_set_cursor(&state->screen, x, y);
}

void plat_set_attr(uint16_t attr) {
  if (stdout_is_console()) state->screen.attr = attr;
}

int plat_stdout_write(const char* text, size_t length) {
  if (!state->config.stdout_present) return -1;
  if (stdout_is_console()) {
    screen_write(&state->screen, text, length);
    return static_cast<int>(length);
  }
  for (size_t i = 0; i < length; ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (state->config.stdout_redirected) {
      // Text mode: a line feed leaves as carriage return and line feed.
      if (byte == '\n') state->run.out += '\r';
      state->run.out += static_cast<char>(byte);
    }
  }
  return static_cast<int>(length);
}

bool plat_console_open() {
  return state->config.has_console;
}

size_t plat_console_write(const char* text, size_t length) {
  if (!state->config.has_console) return 0;
  state->run.console.append(text, length);
  screen_write(&state->screen, text, length);
  return length;
}

bool plat_input_open() {
  return state->config.has_console_input;
}

bool plat_input_count(uint32_t* count) {
  *count = visible_events();
  return true;
}

bool plat_input_peek(InputEvent* events, uint32_t room, uint32_t* got) {
  const uint32_t visible = visible_events();
  *got = 0;
  for (uint32_t i = 0; i < visible && i < room; ++i) events[(*got)++] = state->input[i].event;
  return true;
}

bool plat_input_discard(uint32_t count, uint32_t* got) {
  const uint32_t visible = visible_events();
  *got = count < visible ? count : visible;
  state->input.erase(state->input.begin(), state->input.begin() + *got);
  return true;
}

bool plat_input_read(InputEvent* event, uint32_t* got) {
  if (state->input.empty()) throw SimExit{-1, true}; // nobody will ever press a key
  // A blocking read waits until the next event arrives.
  const int64_t at = state->start_ms + state->input.front().at_ms;
  if (at > state->config.utc_ms) state->config.utc_ms = at;
  *event = state->input.front().event;
  state->input.pop_front();
  if (event->type == INPUT_KEY_EVENT && event->key_down)
    state->run.key_screens.push_back(sim_screen_text());
  *got = 1;
  return true;
}

bool plat_input_get_mode(uint32_t* mode) {
  *mode = state->input_mode;
  return true;
}

bool plat_input_set_mode(uint32_t mode) {
  state->input_mode = mode;
  return true;
}

bool plat_set_title(const char* title) {
  state->run.window_calls.push_back(std::string("title ") + title);
  return true;
}

void* plat_find_console_window(const char*) {
  return state->config.has_window ? sim_window : nullptr;
}

void* plat_load_large_icon(int resource_id) {
  return resource_id == 101 ? sim_large_icon : nullptr;
}
void* plat_load_small_icon(int resource_id) {
  return resource_id == 101 ? sim_small_icon : nullptr;
}

int32_t plat_send_icon(void* window, bool large, void* icon) {
  if (window != sim_window) return 0;
  void*& slot = large ? state->large_icon : state->small_icon;
  void* previous = slot;
  slot = icon;
  state->run.window_calls.push_back(std::string(large ? "large icon " : "small icon ") +
                                    (icon == nullptr ? "off" : "on"));
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(previous));
}

// The simulated console raises no control events.
bool plat_set_ctrl_handler(CtrlHandler, bool) {
  return true;
}

int64_t plat_utc_ms() {
  return state->config.utc_ms;
}

int32_t plat_utc_offset_s(int64_t utc_ms) {
  const SimConfig& c = state->config;
  return 60 * (utc_ms >= c.zone_change_utc_ms && utc_ms < c.zone_change_back_utc_ms
                   ? c.offset_after_change_minutes
                   : c.local_offset_minutes);
}

void plat_zone_reload() {
  if (!state->zone_moved) return;
  state->zone_moved = false;
  state->config.local_offset_minutes = state->moved_offset_minutes;
  state->config.zone_change_utc_ms = INT64_MAX;
}

namespace {

// The input event due within the sleep's first milliseconds: how long until it comes, or -1.
int64_t input_due_within(uint32_t milliseconds) {
  if (state->input.empty()) return -1;
  const int64_t due_ms = state->input.front().at_ms - elapsed_ms();
  if (due_ms > static_cast<int64_t>(milliseconds)) return -1;
  return due_ms > 0 ? due_ms : 0;
}

// Brings the clocks to a scheduled event and lets it happen; true when it ends a wait that
// wakes on it.
bool take_clock_event(unsigned wake_on) {
  const ClockEvent event = state->clock_events.front();
  state->clock_events.pop_front();
  if (event.at_ms > state->monotonic_ms) {
    pass_time(static_cast<uint32_t>(event.at_ms - state->monotonic_ms));
  }
  switch (event.kind) {
  case ClockEvent::set:
    state->config.utc_ms = event.value;
    return (wake_on & WAKE_ON_CLOCK_SET) != 0;
  case ClockEvent::suspend: pass_time(static_cast<uint32_t>(event.value)); return false;
  case ClockEvent::zone:
    state->zone_moved = true;
    state->moved_offset_minutes = static_cast<int>(event.value);
    return false;
  }
  return false;
}

// A sleep ends at its time on the clock that counts suspended time: one that fell due while
// the machine was suspended ends on waking. Input due within it, or a set of the clock, ends it
// early when asked; input waiting unread, at once.
WaitEnd sleep_through(uint32_t milliseconds, unsigned wake_on) {
  state->run.sleeps.push_back(milliseconds);
  if (state->on_sleep) state->on_sleep(milliseconds);
  const int64_t due_ms = (wake_on & WAKE_ON_INPUT) ? input_due_within(milliseconds) : -1;
  const int64_t end_ms =
      state->monotonic_ms + (due_ms >= 0 ? due_ms : milliseconds + state->config.oversleep_ms);
  // What befalls the machine before the sleep's end comes first, in its order.
  while (!state->clock_events.empty() && state->clock_events.front().at_ms <= end_ms) {
    if (take_clock_event(wake_on)) return WaitEnd::clock_set;
  }
  if (end_ms > state->monotonic_ms) pass_time(static_cast<uint32_t>(end_ms - state->monotonic_ms));
  return due_ms >= 0 ? WaitEnd::input : WaitEnd::time;
}

} // namespace

void plat_sleep(uint32_t milliseconds) {
  sleep_through(milliseconds, 0);
}

WaitEnd plat_wait(uint32_t milliseconds, unsigned wake_on) {
  return sleep_through(milliseconds, wake_on);
}

// Only sleeping moves it: drawing takes no fake time, and setting the clock does not move it.
int64_t plat_monotonic_ms() {
  return state->monotonic_ms;
}

LaunchOutcome plat_launch(const char* interpreter, const char* command) {
  state->run.launches.push_back(std::string(interpreter) + " /C START " + command);
  state->run.launch_times_ms.push_back(elapsed_ms());
  pass_time(state->config.launch_ms);
  return state->config.launch;
}

void plat_exit(int status) {
  throw SimExit{status, false};
}

void plat_console_text(const char* text, char* out, size_t room) {
  snprintf(out, room, "%s", text);
}
