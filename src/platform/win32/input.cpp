// Console input: key events from the console input device, and QuickEdit off while the program
// runs (a selection in the window would hold every console write, and the schedule with it,
// until a key is pressed), the user's mode given back on every way out.
#include "platform/win32/input.h"

#include "platform/platform.h"
#include "platform/win32/screen.h"

namespace {

HANDLE console_input = INVALID_HANDLE_VALUE;
// The console's input mode as the program found it, while QuickEdit is taken off.
DWORD user_input_mode = 0;
bool quick_edit_taken = false;

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
  return console_input;
}

void give_back_input_mode() {
  if (quick_edit_taken) SetConsoleMode(console_input, user_input_mode);
  quick_edit_taken = false;
}

// QuickEdit goes off whatever the mode says: a console reports it (and insert mode) only while
// its extended flags are on, and a program before us may have set a mode without them. Such a
// mode is given back with both on, as consoles start.
bool plat_input_open() {
  console_input =
      CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (console_input == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  if (GetConsoleMode(console_input, &mode) &&
      SetConsoleMode(console_input, (mode & ~ENABLE_QUICK_EDIT_MODE) | ENABLE_EXTENDED_FLAGS)) {
    const DWORD unreported = ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE;
    user_input_mode =
        mode | ENABLE_EXTENDED_FLAGS | ((mode & ENABLE_EXTENDED_FLAGS) ? 0 : unreported);
    quick_edit_taken = true;
  }
  return true;
}

bool plat_input_count(uint32_t* count) {
  // A wait of no time costs nothing on Windows; wine's console on a terminal reads what was
  // typed only when someone waits on the input, and would otherwise never count a key.
  WaitForSingleObject(console_input, 0);
  DWORD events = 0;
  if (!GetNumberOfConsoleInputEvents(console_input, &events)) return false;
  *count = events;
  return true;
}

bool plat_input_peek(InputEvent* events, uint32_t room, uint32_t* got) {
  static INPUT_RECORD records[1024];
  DWORD read = 0;
  *got = 0;
  if (!PeekConsoleInputA(console_input, records, room < 1024 ? room : 1024, &read)) return false;
  for (DWORD i = 0; i < read; ++i) events[(*got)++] = from_record(records[i]);
  return true;
}

bool plat_input_read(InputEvent* event, uint32_t* got) {
  flush_frame(); // the screen waits for the key as it stands
  INPUT_RECORD record;
  DWORD read = 0;
  *got = 0;
  if (!ReadConsoleInputA(console_input, &record, 1, &read)) return false;
  *got = read;
  if (read == 1) *event = from_record(record);
  return true;
}

bool plat_input_get_mode(uint32_t* mode) {
  DWORD value = 0;
  if (!GetConsoleMode(console_input, &value)) return false;
  *mode = value;
  return true;
}

bool plat_input_set_mode(uint32_t mode) {
  return SetConsoleMode(console_input, mode) != FALSE;
}
