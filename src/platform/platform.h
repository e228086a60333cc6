// The platform surface: the few console, window, clock and process calls the program makes,
// shaped like their Win32 originals. One backend (win32, posix or sim) is linked in.
#pragma once

#include <cstddef>
#include <cstdint>

// --- Console output, always on the standard output handle as it is at the moment of the call.

// Screen-buffer information; coordinates count from 0.
struct ScreenInfo {
  int16_t size_x, size_y;           // the whole buffer
  int16_t cursor_x, cursor_y;       // the cursor
  uint16_t attr;                    // the attribute set last
  int16_t left, top, right, bottom; // the visible window, inclusive
};

// False when there is no standard output handle at all (INVALID_HANDLE_VALUE).
bool plat_stdout_present();
// False when standard output is not a console (redirected, or no console).
bool plat_screen_info(ScreenInfo* info);
void plat_fill_chars(char ch, uint32_t count, int16_t x, int16_t y);
void plat_fill_attrs(uint16_t attr, uint32_t count, int16_t x, int16_t y);
// The console refuses a position outside the buffer.
void plat_set_cursor(int16_t x, int16_t y);
void plat_set_attr(uint16_t attr);
// Standard output in text mode; all of it has reached the console on return when it is one.
// Returns the bytes taken, or -1.
int plat_stdout_write(const char* text, size_t length);

// --- The console device itself ("CONOUT$"), whatever standard output is.
bool plat_console_open();
// Writes the bytes in order and stops at the first one the console refuses; returns how many
// were written.
size_t plat_console_write(const char* text, size_t length);

// --- Console input ("CONIN$").
enum : uint16_t { INPUT_KEY_EVENT = 1, INPUT_OTHER_EVENT = 2 };

// Control-key state bits as the console reports them.
enum : uint32_t {
  RIGHT_ALT_DOWN = 0x01,
  LEFT_ALT_DOWN = 0x02,
  RIGHT_CTRL_DOWN = 0x04,
  LEFT_CTRL_DOWN = 0x08,
  SHIFT_DOWN = 0x10,
  ENHANCED_KEY_FLAG = 0x100,
};

// Console input modes: the bit that makes Ctrl-C a control event instead of a character, and a
// console's mode as it starts (processed, line and echo input, mouse, insert and QuickEdit, the
// extended flags and auto-position).
enum : uint32_t { INPUT_MODE_PROCESSED = 0x1, INPUT_MODE_CONSOLE_DEFAULT = 0x1F7 };

struct InputEvent {
  uint16_t type;
  bool key_down;
  unsigned char ch; // 0 for keys without a character
  uint16_t scan_code;
  uint32_t control_state;
};

bool plat_input_open();
bool plat_input_count(uint32_t* count);
// Copies up to room waiting events without removing them.
bool plat_input_peek(InputEvent* events, uint32_t room, uint32_t* got);
// Removes and returns the next event; blocks until there is one.
bool plat_input_read(InputEvent* event, uint32_t* got);
// Removes up to count of the waiting events, never waiting for more; got is how many it took.
bool plat_input_discard(uint32_t count, uint32_t* got);
bool plat_input_get_mode(uint32_t* mode);
bool plat_input_set_mode(uint32_t mode);

// --- The console window and control events.
bool plat_set_title(const char* title);
// The top-level window of class "ConsoleWindowClass" with this title, or null.
void* plat_find_console_window(const char* title);
void* plat_load_large_icon(int resource_id);
void* plat_load_small_icon(int resource_id);
// WM_SETICON: gives the window the icon (null takes it off) and returns the previous one's handle.
int32_t plat_send_icon(void* window, bool large, void* icon);

typedef int (*CtrlHandler)(uint32_t event);
// add true registers the handler, false removes it; a null handler with add true ignores Ctrl-C.
bool plat_set_ctrl_handler(CtrlHandler handler, bool add);

// --- Clock and timing.
// The wall clock: milliseconds since 1970-01-01 UTC. Setting the clock moves it; daylight saving
// does not.
int64_t plat_utc_ms();
// Local time minus UTC at an instant, in seconds, by the rules of the system's zone as it was
// last read.
int32_t plat_utc_offset_s(int64_t utc_ms);
// Reads the system's time zone again (the user may have moved it since).
void plat_zone_reload();
// Milliseconds from an arbitrary start on a clock that setting the time of day does not move and
// that counts the time the machine spent suspended.
int64_t plat_monotonic_ms();
// Sleeps the milliseconds on that clock: a sleep that falls due while the machine is suspended
// ends when it wakes.
void plat_sleep(uint32_t milliseconds);
// What may end a wait before its time, and what did.
enum : unsigned {
  WAKE_ON_INPUT = 1,     // console input arrived (a key, or any other input event)
  WAKE_ON_CLOCK_SET = 2, // the wall clock was set, where the system tells (a resume may count)
};
enum class WaitEnd { time, input, clock_set };
// The same sleep, ended early by what wake_on names.
WaitEnd plat_wait(uint32_t milliseconds, unsigned wake_on);

// --- Text.
// A text of the command line as the console shows it: on Windows converted from the code page
// the command line came in to the console's; on POSIX decoded in the locale's character set and
// kept as UTF-8, each control character, DEL, C1 control or byte that does not decode becoming
// its code page glyph. Always terminated, cut short to fit room.
void plat_console_text(const char* text, char* out, size_t room);

// --- Processes.
// What came of a launch: the command started, or was still being started when the program
// stopped waiting for the command processor, or failed for the reason given.
enum class LaunchResult { started, pending, failed };
struct LaunchOutcome {
  LaunchResult result;
  char reason[32]; // with failed: "command not found", "no command processor", "exit code 9009"
};
// Has the command processor START the command, so that it runs on its own: on Windows the line
// "<interpreter> /C START <command>", waited for a few seconds at most; elsewhere the command
// through the shell in a session of its own.
LaunchOutcome plat_launch(const char* interpreter, const char* command);
// Ends the process with the status, the console given back as the program found it.
[[noreturn]] void plat_exit(int status);
