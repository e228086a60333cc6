// The two output channels on Windows: standard output (the console's screen, or a redirected
// file in text mode) and the console device itself, or standard error without a console.
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/win32/console_text.h"
#include "platform/win32/process.h"
#include "platform/win32/screen.h"

namespace {

struct ChannelsState {
  HANDLE console_device = INVALID_HANDLE_VALUE; // none, or none opened yet
  // Whether standard output was asked yet, and whether it is the console.
  bool stdout_asked = false;
  bool stdout_is_console = false;
};
// Braced: so its starting values are put in the program file, where without the braces code at
// start-up would set them (INVALID_HANDLE_VALUE is no constant expression).
ChannelsState state = {};

// Redirected standard output is in text mode, which writes each line feed as CR LF: a carriage
// return of the text's own right before a line feed is left to it, so that a line ends with one
// CR LF and not CR CR LF.
int write_text_mode(const char* text, size_t length, FILE* file) {
  size_t start = 0;
  for (size_t i = 0; i + 1 < length; ++i) {
    if (text[i] != '\r' || text[i + 1] != '\n') continue;
    if (fwrite(text + start, 1, i - start, file) != i - start) return -1;
    start = i + 1;
  }
  return fwrite(text + start, 1, length - start, file) == length - start ? static_cast<int>(length)
                                                                         : -1;
}

// Text for a file (redirected standard output, standard error without a console) in one
// encoding: the console's code page, the program's own bytes as their glyphs where the page has
// them elsewhere (UTF-8, a double-byte page).
int write_file_text(const char* text, size_t length, FILE* file) {
  static char converted_scratch[4096];
  size_t done = 0;
  while (done < length) {
    size_t taken = 0;
    const size_t bytes = text_for_file(text + done, length - done, converted_scratch,
                                       sizeof converted_scratch, &taken);
    if (taken == 0 || write_text_mode(converted_scratch, bytes, file) < 0) return -1;
    done += taken;
  }
  return static_cast<int>(length);
}

} // namespace

// Standard output that is the console takes its text as the console channel does: in one
// write, in the console's code page (the C runtime would write it a character or two a call, and
// under wine in the ANSI code page). Redirected, it keeps the C runtime's bytes and line ends.
int plat_stdout_write(const char* text, size_t length) {
  if (!state.stdout_asked) {
    DWORD mode = 0;
    state.stdout_is_console = GetConsoleMode(stdout_handle(), &mode) != FALSE;
    state.stdout_asked = true;
  }
  if (!state.stdout_is_console) return write_file_text(text, length, stdout);
  if (frame_takes_text(text, length)) return static_cast<int>(length);
  DWORD written = 0;
  if (!write_console(stdout_handle(), text, length, &written)) return -1;
  return static_cast<int>(written);
}

// Without a console, or with one nobody sees (a service, a scheduled task with no window, a
// redirected pipe), the console's text goes to standard error, as the POSIX build's does, so
// that a failure is told.
bool plat_console_open() {
  if (GetConsoleWindow() != nullptr) {
    state.console_device = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
  }
  return state.console_device != INVALID_HANDLE_VALUE || GetStdHandle(STD_ERROR_HANDLE) != nullptr;
}

size_t plat_console_write(const char* text, size_t length) {
  if (state.console_device == INVALID_HANDLE_VALUE) {
    const int written = write_file_text(text, length, stderr);
    fflush(stderr);
    return written < 0 ? 0 : length;
  }
  // The console device is the same console as standard output when the frame is on.
  if (frame_takes_text(text, length)) return length;
  // One call for the whole run: each call is a round trip to the console host.
  DWORD written = 0;
  if (!write_console(state.console_device, text, length, &written)) return 0;
  return written;
}

// The command as typed: in the console's code page of one byte a character, and in UTF-8 where
// a character of the console's code page may take more (the screen then gives each a cell).
void plat_console_text(const char* text, char* out, size_t room) {
  static wchar_t wide_scratch[1024];
  const UINT page = console_utf8_text() ? CP_UTF8 : console_page();
  const int used = command_wide(text, wide_scratch, sizeof wide_scratch / sizeof wide_scratch[0])
                       ? WideCharToMultiByte(page, 0, wide_scratch, -1, out, static_cast<int>(room),
                                             nullptr, nullptr)
                       : 0;
  if (used == 0) snprintf(out, room, "%s", text);
}
