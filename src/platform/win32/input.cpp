// Console input: key events from the console input device, in a mode of key events only while
// the program runs (input_mode.h), the mode found given back as it was on every way out.
#include "platform/win32/input.h"

#include "platform/platform.h"
#include "platform/win32/input_mode.h"
#include "platform/win32/screen.h"

namespace {

struct InputState {
  HANDLE console_input = INVALID_HANDLE_VALUE;
  // The console's input mode as the program found it, while the program's own is set.
  DWORD user_input_mode = 0;
  bool mode_taken = false;
};
// Braced: so its starting values are put in the program file, where without the braces code at
// start-up would set them (INVALID_HANDLE_VALUE is no constant expression).
InputState state = {};

INPUT_RECORD records_scratch[1024];

InputEvent from_record(const INPUT_RECORD& record) {
  InputEvent event = {INPUT_OTHER_EVENT, false, 0, 0, 0};
  if (record.EventType != KEY_EVENT) return event;
  const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  event.type = INPUT_KEY_EVENT;
  event.key_down = key.bKeyDown != FALSE;
  event.ch = static_cast<unsigned char>(key.uChar.AsciiChar);
  // Wine reports ESC without its character; Windows gives 27, so the key reads the same on both.
  if (event.ch == 0 && key.wVirtualKeyCode == VK_ESCAPE) event.ch = 27;
  event.scan_code = key.wVirtualScanCode;
  event.control_state = key.dwControlKeyState;
  return event;
}

} // namespace

HANDLE console_input_handle() {
  return state.console_input;
}

void give_back_input_mode() {
  if (state.mode_taken) SetConsoleMode(state.console_input, state.user_input_mode);
  state.mode_taken = false;
}

// A console without a window (a scheduled task, a service) is one nobody sees or types into:
// it is no console input, so that nothing waits there for a key that cannot come.
bool plat_input_open() {
  if (GetConsoleWindow() == nullptr) return false;
  state.console_input =
      CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (state.console_input == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  if (GetConsoleMode(state.console_input, &mode) &&
      SetConsoleMode(state.console_input, running_input_mode(mode))) {
    state.user_input_mode = mode;
    state.mode_taken = true;
  }
  return true;
}

bool plat_input_count(uint32_t* count) {
  // A wait of no time costs nothing on Windows; wine's console on a terminal reads what was
  // typed only when someone waits on the input, and would otherwise never count a key.
  WaitForSingleObject(state.console_input, 0);
  DWORD events = 0;
  if (!GetNumberOfConsoleInputEvents(state.console_input, &events)) return false;
  *count = events;
  return true;
}

bool plat_input_peek(InputEvent* events, uint32_t room, uint32_t* got) {
  DWORD read = 0;
  *got = 0;
  if (!PeekConsoleInputA(state.console_input, records_scratch, room < 1024 ? room : 1024, &read))
    return false;
  for (DWORD i = 0; i < read; ++i) events[(*got)++] = from_record(records_scratch[i]);
  return true;
}

// A read of more events than wait returns those that wait, but one of none waits for the next:
// the count is asked again in case another program in the console took them since.
bool plat_input_discard(uint32_t count, uint32_t* got) {
  DWORD waiting = 0;
  *got = 0;
  if (!GetNumberOfConsoleInputEvents(state.console_input, &waiting)) return false;
  DWORD wanted = count < waiting ? count : waiting;
  if (wanted > 1024) wanted = 1024;
  DWORD read = 0;
  if (wanted > 0 && !ReadConsoleInputA(state.console_input, records_scratch, wanted, &read))
    return false;
  *got = read;
  return true;
}

bool plat_input_read(InputEvent* event, uint32_t* got) {
  flush_frame(); // the screen waits for the key as it stands
  INPUT_RECORD record;
  DWORD read = 0;
  *got = 0;
  if (!ReadConsoleInputA(state.console_input, &record, 1, &read)) return false;
  *got = read;
  if (read == 1) *event = from_record(record);
  return true;
}

bool plat_input_get_mode(uint32_t* mode) {
  DWORD value = 0;
  if (!GetConsoleMode(state.console_input, &value)) return false;
  *mode = value;
  return true;
}

bool plat_input_set_mode(uint32_t mode) {
  return SetConsoleMode(state.console_input, mode) != FALSE;
}
