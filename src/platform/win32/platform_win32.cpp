// The win32 backend. From the program's first whole clear of the console on, a pass is drawn
// into a copy of the console's top rows in memory and handed to the console at each flush point
// as one rectangle of cells, so the console never shows a half-drawn screen and a pass costs a
// handful of console calls; before it, and for anything the copy cannot hold, each platform call
// is one or two Win32 calls on the real console.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/console_frame.h"
#include "platform/cp437.h"
#include "platform/platform.h"
#include "platform/screen_buffer.h"

namespace {

// The program never changes its standard handles, so the one it started with is asked for once
// instead of at every console call.
HANDLE standard_output = nullptr;
HANDLE stdout_handle() {
  if (standard_output == nullptr) standard_output = GetStdHandle(STD_OUTPUT_HANDLE);
  return standard_output;
}

HANDLE console_device = INVALID_HANDLE_VALUE;
HANDLE console_input = INVALID_HANDLE_VALUE;

HANDLE open_device(const char* name, DWORD access) {
  return CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                     nullptr);
}

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

// FILETIME counts 100 ns from 1601-01-01 UTC.
constexpr int64_t filetime_of_1970 = 116444736000000000LL;

int64_t filetime_value(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
}

// Windows calls a handler that takes a DWORD and returns BOOL. The one Win32 handler stays
// registered and forwards to the program's, or to nothing once that is removed: wine frees a
// handler that removes itself during its own call and then calls through it.
CtrlHandler volatile registered_handler = nullptr;
bool forwarder_registered = false;
// The console's input mode as the program found it, while QuickEdit is taken off: a selection in
// the window would hold every console write, and the schedule with it, until a key is pressed.
DWORD user_input_mode = 0;
bool quick_edit_taken = false;

void give_back_input_mode() {
  if (quick_edit_taken) SetConsoleMode(console_input, user_input_mode);
  quick_edit_taken = false;
}

BOOL WINAPI forward_ctrl_event(DWORD event) {
  give_back_input_mode(); // Ctrl-C, Ctrl-Break and the close button end the process
  const CtrlHandler handler = registered_handler;
  return handler != nullptr && handler(event) != 0 ? TRUE : FALSE;
}

// The ANSI argument vector has lost what the ANSI code page cannot hold; the wide command line
// has every character. The program's first word (the command) as the user typed it, or empty.
const wchar_t* typed_first_word() {
  static wchar_t word[300];
  static bool looked = false;
  if (looked) return word;
  looked = true;
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (words != nullptr && count > 1 && wcslen(words[1]) < sizeof word / sizeof word[0]) {
    wcscpy(word, words[1]);
  }
  LocalFree(words);
  return word;
}

// The wide form of an ANSI text: where the text ends with the command as the ANSI code page
// holds it, the command as typed takes its place.
bool widen(const char* text, wchar_t* out, int room) {
  const wchar_t* typed = typed_first_word();
  char typed_ansi[1024];
  const int typed_size = typed[0] == L'\0'
                             ? 0
                             : WideCharToMultiByte(CP_ACP, 0, typed, -1, typed_ansi,
                                                   sizeof typed_ansi, nullptr, nullptr);
  const size_t length = strlen(text);
  const size_t tail = typed_size > 0 ? static_cast<size_t>(typed_size - 1) : 0;
  size_t prefix = length;
  if (tail > 0 && tail <= length && strcmp(text + length - tail, typed_ansi) == 0) {
    prefix = length - tail;
  }
  const int used =
      prefix == 0 ? 0
                  : MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(prefix), out, room - 1);
  if (prefix > 0 && used == 0) return false;
  out[used] = L'\0';
  if (prefix == length) return true;
  if (wcslen(typed) + static_cast<size_t>(used) >= static_cast<size_t>(room)) return false;
  wcscat(out, typed);
  return true;
}

enum class StartResult { started, not_found, denied, failed };

bool is_separator(char c) {
  return c == '\\' || c == '/' || c == ':';
}

// Only a missing file or directory is "not found"; any other error (an invalid name, access
// denied) is a failure of its own.
StartResult failure_for(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return StartResult::not_found;
  return error == ERROR_ACCESS_DENIED ? StartResult::denied : StartResult::failed;
}

StartResult look_up_file(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return StartResult::started;
  return failure_for(GetLastError());
}

// The program file for a candidate: as it is when its name has an extension, else the first of
// .com, .exe, .bat and .cmd that exists. A name without a directory part is looked for in ".".
// Gives started when a file was found, else the failure that ended the look-up.
StartResult resolve_program(const char* candidate, char* path, size_t room) {
  const bool bare = strpbrk(candidate, "\\/:") == nullptr;
  const int used = snprintf(path, room, "%s%s", bare ? ".\\" : "", candidate);
  if (used < 0 || static_cast<size_t>(used) + 4 >= room) return StartResult::failed;
  const char* name = path + used;
  while (name > path && !is_separator(name[-1])) --name;
  if (strchr(name, '.') != nullptr) return look_up_file(path);
  for (const char* extension : {".com", ".exe", ".bat", ".cmd"}) {
    strcpy(path + used, extension);
    const StartResult result = look_up_file(path);
    if (result != StartResult::not_found) return result;
  }
  return StartResult::not_found;
}

StartResult start_processor(const char* candidate, const char* argument0, const char* line,
                            int* exit_code) {
  char path[MAX_PATH + 8];
  const StartResult found = resolve_program(candidate, path, sizeof path);
  if (found != StartResult::started) return found;
  // Wide, so that the command reaches the command processor with every character it has.
  static char head[MAX_PATH + 8];
  static wchar_t command_line[MAX_PATH + 600];
  static wchar_t wide_path[MAX_PATH + 8];
  const int used = snprintf(head, sizeof head, "%s /c ", argument0);
  const int head_size = used < 0 || static_cast<size_t>(used) >= sizeof head
                            ? 0
                            : MultiByteToWideChar(CP_ACP, 0, head, -1, command_line, MAX_PATH + 8);
  const int room = static_cast<int>(sizeof command_line / sizeof command_line[0]) - head_size;
  if (head_size == 0 || !widen(line, command_line + head_size - 1, room) ||
      MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, MAX_PATH + 8) == 0) {
    return StartResult::failed;
  }
  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessW(wide_path, command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return failure_for(GetLastError());
  }
  // START ends at once when all is well; one that cannot find the command may show an error box
  // and wait for someone to close it. The schedule does not wait with it.
  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, 5000) == WAIT_TIMEOUT) {
    *exit_code = RUN_STILL_RUNNING;
  } else {
    GetExitCodeProcess(process.hProcess, &code);
    *exit_code = static_cast<int>(code);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return StartResult::started;
}

bool is_network_path(const char* directory) {
  return (directory[0] == '\\' || directory[0] == '/') &&
         (directory[1] == '\\' || directory[1] == '/');
}

int start_along_path(const char* name, const char* line) {
  int exit_code = -1;
  StartResult result = start_processor(name, name, line, &exit_code);
  if (result == StartResult::started) return exit_code;
  if (result != StartResult::not_found) return -1;
  static char path_list[32768];
  const DWORD length = GetEnvironmentVariableA("PATH", path_list, sizeof path_list);
  if (length == 0 || length >= sizeof path_list) return -1;
  for (char* directory = path_list; *directory != '\0';) {
    char* end = strchr(directory, ';');
    char* next = end != nullptr ? end + 1 : directory + strlen(directory);
    if (end != nullptr) *end = '\0';
    const size_t size = strlen(directory);
    if (size > 0) {
      if (size + 1 + strlen(name) >= MAX_PATH) return -1;
      char candidate[MAX_PATH];
      const bool joined = directory[size - 1] == '\\' || directory[size - 1] == '/';
      snprintf(candidate, sizeof candidate, "%s%s%s", directory, joined ? "" : "\\", name);
      result = start_processor(candidate, name, line, &exit_code);
      if (result == StartResult::started) return exit_code;
      // A network directory that fails is passed over; any other failure ends the search.
      if (result != StartResult::not_found && !is_network_path(directory)) return -1;
    }
    directory = next;
  }
  return -1;
}

// --- The frame.
ScreenBuffer back;  // what the program has drawn
ScreenBuffer front; // what the console shows
bool framed = false;
bool info_stale = true; // the console is asked again after each flush: a resize shows there
CONSOLE_SCREEN_BUFFER_INFO console_info;
// A whole clear in two calls, characters then attributes, makes the console known.
bool cleared_chars = false;
char cleared_char = ' ';
// Text written to the console's rows below the copy since the last whole clear.
bool below_written = false;
// Each pass's whole clear sends the whole copy the window shows: another program may have
// written anywhere in it, and the console is to show what the buffer says. Cleared when the
// console took it.
bool send_whole_copy = false;
bool window_follows_cursor = false;
CHAR_INFO frame_cells[SCREEN_MAX_ROWS * SCREEN_MAX_COLUMNS];
// What each byte shows as. Processed output shows a control byte as its glyph (ESC as an
// arrow); a cell written whole would keep the control character itself, which wine's console
// then sends to its terminal as it is.
WCHAR frame_glyphs[256];

// Whether the console's code page is UTF-8, asked once: the command then comes in UTF-8 and
// each of its characters takes a cell of its own, as on POSIX.
bool console_utf8() {
  static int utf8 = -1;
  if (utf8 < 0) utf8 = GetConsoleOutputCP() == CP_UTF8 ? 1 : 0;
  return utf8 == 1;
}

// The glyphs follow a code page of one byte a character. On any other (UTF-8, a double-byte
// code page), where the program's own bytes (the square, the bar) are no characters, they show
// as the code page 437 glyphs they are.
void take_code_page() {
  const UINT page = GetConsoleOutputCP();
  CPINFO info;
  const bool one_byte = page != 0 && GetCPInfo(page, &info) && info.MaxCharSize == 1;
  for (int byte = 0; byte < 256; ++byte) {
    const char text = static_cast<char>(byte);
    WCHAR glyph = static_cast<WCHAR>(cp437_glyph(static_cast<unsigned char>(byte)));
    if (byte >= 0x20 && byte != 0x7F && one_byte &&
        MultiByteToWideChar(page, 0, &text, 1, &glyph, 1) != 1) {
      glyph = L'?';
    }
    frame_glyphs[byte] = glyph;
  }
}

WCHAR cell_glyph(const ScreenCell& cell) {
  if (cell.known != CELL_FOREIGN) return frame_glyphs[cell.ch];
  const uint32_t code_point = back.foreign[cell.ch];
  return code_point < 0x10000 ? static_cast<WCHAR>(code_point) : L'?';
}

// Text for the console: as it is on a one-byte code page; on a UTF-8 one, wide, with UTF-8
// characters as themselves and every other byte as its glyph.
bool write_console(HANDLE handle, const char* text, size_t length, DWORD* written) {
  if (!console_utf8()) {
    return WriteConsoleA(handle, text, static_cast<DWORD>(length), written, nullptr) != FALSE;
  }
  static WCHAR wide[4096];
  const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
  size_t used = 0;
  for (size_t i = 0; i < length && used < sizeof wide / sizeof wide[0]; ++i) {
    uint32_t code_point = bytes[i];
    const size_t size = bytes[i] >= 0x80 ? utf8_sequence(bytes + i, length - i, &code_point) : 0;
    if (bytes[i] >= 0x80 && size == 0) code_point = cp437_glyph(bytes[i]);
    wide[used++] = code_point < 0x10000 ? static_cast<WCHAR>(code_point) : L'?';
    if (size > 0) i += size - 1;
  }
  DWORD taken = 0;
  const bool done = WriteConsoleW(handle, wide, static_cast<DWORD>(used), &taken, nullptr) != FALSE;
  *written = done && taken == used ? static_cast<DWORD>(length) : 0;
  return done;
}

bool ask_console() {
  if (!GetConsoleScreenBufferInfo(stdout_handle(), &console_info)) return false;
  info_stale = false;
  return true;
}

// A fill from the top-left corner over every cell of the console's buffer.
bool whole_clear(uint32_t count, int16_t x, int16_t y) {
  const uint32_t cells =
      static_cast<uint32_t>(console_info.dwSize.X) * static_cast<uint32_t>(console_info.dwSize.Y);
  return x == 0 && y == 0 && count >= cells;
}

// The frame's copy starts as the console just cleared: every cell the same.
void start_frame(uint16_t attr) {
  const int rows = console_info.dwSize.Y < SCREEN_MAX_ROWS ? static_cast<int>(console_info.dwSize.Y)
                                                           : static_cast<int>(SCREEN_MAX_ROWS);
  screen_init(&back, console_info.dwSize.X, rows, true);
  screen_fill_chars(&back, static_cast<unsigned char>(cleared_char),
                    SCREEN_MAX_ROWS * SCREEN_MAX_COLUMNS, 0, 0);
  screen_fill_attrs(&back, attr, SCREEN_MAX_ROWS * SCREEN_MAX_COLUMNS, 0, 0);
  back.cursor_x =
      console_info.dwCursorPosition.X < back.width ? console_info.dwCursorPosition.X : 0;
  back.cursor_y =
      console_info.dwCursorPosition.Y < back.height ? console_info.dwCursorPosition.Y : 0;
  back.attr = console_info.wAttributes;
  back.utf8_text = console_utf8();
  front = back;
  framed = true;
  below_written = false;
  window_follows_cursor = true;
}

// Whatever the command processor wrote went to the console behind the frame's back: the copy
// takes the console's cells and cursor again, and the next clear reaches every row.
void take_console_back() {
  if (!framed) return;
  const int16_t width = console_info.dwSize.X, height = console_info.dwSize.Y;
  if (!ask_console() || console_info.dwSize.X != width || console_info.dwSize.Y != height) {
    framed = false;
    return;
  }
  SMALL_RECT region = {0, 0, static_cast<SHORT>(back.width - 1),
                       static_cast<SHORT>(back.height - 1)};
  if (!ReadConsoleOutputA(stdout_handle(), frame_cells,
                          COORD{static_cast<SHORT>(back.width), static_cast<SHORT>(back.height)},
                          COORD{0, 0}, &region)) {
    framed = false;
    return;
  }
  for (int y = 0; y < back.height; ++y) {
    for (int x = 0; x < back.width; ++x) {
      const CHAR_INFO& cell = frame_cells[y * back.width + x];
      back.cells[y][x] =
          ScreenCell{static_cast<unsigned char>(cell.Char.AsciiChar), CELL_BYTE, cell.Attributes};
    }
  }
  const COORD cursor = console_info.dwCursorPosition;
  back.cursor_x = cursor.X < back.width ? cursor.X : back.width - 1;
  back.cursor_y = cursor.Y < back.height ? cursor.Y : back.height - 1;
  back.attr = console_info.wAttributes;
  front = back;
  below_written = true;
}

// Hands what changed to the console: the rectangle of cells, the cursor, the attribute.
void flush_frame() {
  if (!framed) return;
  // The whole copy as far as the window shows it: on a console of 9,001 rows the rest is
  // nobody's to see.
  const int shown_rows = console_info.srWindow.Bottom + 1;
  CellRect rect = {0, 0, back.width - 1, (shown_rows < back.height ? shown_rows : back.height) - 1};
  if (send_whole_copy || frame_changed_rect(&back, &front, &rect)) {
    const int width = rect.right - rect.left + 1;
    const int height = rect.bottom - rect.top + 1;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const ScreenCell& cell = back.cells[rect.top + y][rect.left + x];
        CHAR_INFO& out = frame_cells[y * width + x];
        out.Char.UnicodeChar = cell_glyph(cell);
        out.Attributes = cell.attr;
      }
    }
    SMALL_RECT region = {static_cast<SHORT>(rect.left), static_cast<SHORT>(rect.top),
                         static_cast<SHORT>(rect.right), static_cast<SHORT>(rect.bottom)};
    // Only cells the console took are shown: a write that failed is sent again next time.
    if (WriteConsoleOutputW(stdout_handle(), frame_cells,
                            COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)},
                            COORD{0, 0}, &region)) {
      for (int y = rect.top; y <= rect.bottom; ++y) {
        memcpy(&front.cells[y][rect.left], &back.cells[y][rect.left], sizeof(ScreenCell) * width);
      }
      send_whole_copy = false;
    }
  }
  // A window the user scrolled away from the status screen comes back to its top, as each
  // pass's home position brought it back before the frame.
  const SMALL_RECT& window = console_info.srWindow;
  const bool scrolled_away = window.Top > 0;
  if (scrolled_away) SetConsoleCursorPosition(stdout_handle(), COORD{0, 0});
  if (scrolled_away || back.cursor_x != front.cursor_x || back.cursor_y != front.cursor_y) {
    SetConsoleCursorPosition(stdout_handle(), COORD{static_cast<SHORT>(back.cursor_x),
                                                    static_cast<SHORT>(back.cursor_y)});
    front.cursor_x = back.cursor_x;
    front.cursor_y = back.cursor_y;
  }
  // The console's own attribute is what others' output (the command processor's) is drawn in.
  if (back.attr != front.attr) {
    SetConsoleTextAttribute(stdout_handle(), back.attr);
    front.attr = back.attr;
  }
  info_stale = true;
}

// Back to one Win32 call a platform call: the console is given the frame first, and the next
// whole clear frames again.
void stop_framing() {
  flush_frame();
  framed = false;
}

// A fill the frame's copy holds entirely, or the whole clear of which the copy holds the top.
bool frame_takes_fill(uint32_t count, int16_t x, int16_t y) {
  const uint32_t start =
      static_cast<uint32_t>(y) * static_cast<uint32_t>(back.width) + static_cast<uint32_t>(x);
  const uint32_t held = static_cast<uint32_t>(back.width) * static_cast<uint32_t>(back.height);
  return x >= 0 && y >= 0 && x < back.width && (whole_clear(count, x, y) || start + count <= held);
}

// While framed, a fill goes into the copy (fill_copy) when the copy holds it, and a fill it
// cannot hold ends the framing. True when the console is to be filled too: without the frame, or
// for a whole clear when something was written to the console's rows below the copy since the
// last one (on a console of 9,001 rows those rows are most of the work).
template <typename Fill>
bool console_takes_fill(uint32_t count, int16_t x, int16_t y, Fill fill_copy) {
  if (!framed) return true;
  if (!frame_takes_fill(count, x, y)) {
    stop_framing();
    below_written = true;
    return true;
  }
  fill_copy();
  if (whole_clear(count, x, y)) send_whole_copy = true;
  return whole_clear(count, x, y) && below_written;
}

// Text for the console: into the copy unless it would run past the copy's rows into rows the
// copy does not hold (a copy of every row scrolls as the console does).
bool frame_takes_text(const char* text, size_t length) {
  if (!framed) return false;
  if (back.height == console_info.dwSize.Y || frame_row_after(&back, text, length) < back.height) {
    screen_write(&back, text, length);
    return true;
  }
  stop_framing();
  below_written = true;
  return false;
}

} // namespace

bool plat_stdout_present() {
  return stdout_handle() != INVALID_HANDLE_VALUE;
}

bool plat_screen_info(ScreenInfo* info) {
  if (info_stale || !framed) {
    const int16_t width = console_info.dwSize.X, height = console_info.dwSize.Y;
    if (!ask_console()) return false;
    if (framed && (console_info.dwSize.X != width || console_info.dwSize.Y != height))
      stop_framing();
  }
  const CONSOLE_SCREEN_BUFFER_INFO& buffer = console_info;
  if (framed) {
    info->cursor_x = static_cast<int16_t>(back.cursor_x);
    info->cursor_y = static_cast<int16_t>(back.cursor_y);
    info->attr = back.attr;
  } else {
    info->cursor_x = buffer.dwCursorPosition.X;
    info->cursor_y = buffer.dwCursorPosition.Y;
    info->attr = buffer.wAttributes;
  }
  info->size_x = buffer.dwSize.X;
  info->size_y = buffer.dwSize.Y;
  info->left = buffer.srWindow.Left;
  info->top = buffer.srWindow.Top;
  info->right = buffer.srWindow.Right;
  info->bottom = buffer.srWindow.Bottom;
  return true;
}

void plat_fill_chars(char ch, uint32_t count, int16_t x, int16_t y) {
  const unsigned char byte = static_cast<unsigned char>(ch);
  if (!console_takes_fill(count, x, y, [&] { screen_fill_chars(&back, byte, count, x, y); })) {
    return;
  }
  DWORD written = 0;
  FillConsoleOutputCharacterA(stdout_handle(), ch, count, COORD{x, y}, &written);
  if (framed) screen_fill_chars(&front, byte, count, x, y);
  cleared_chars = !framed && whole_clear(count, x, y);
  cleared_char = ch;
}

void plat_fill_attrs(uint16_t attr, uint32_t count, int16_t x, int16_t y) {
  if (!console_takes_fill(count, x, y, [&] { screen_fill_attrs(&back, attr, count, x, y); })) {
    return;
  }
  DWORD written = 0;
  FillConsoleOutputAttribute(stdout_handle(), attr, count, COORD{x, y}, &written);
  if (framed) {
    screen_fill_attrs(&front, attr, count, x, y);
    below_written = false; // the whole clear, characters and attributes, has reached every row
  }
  if (!framed && cleared_chars && whole_clear(count, x, y) &&
      console_info.dwSize.X <= SCREEN_MAX_COLUMNS) {
    take_code_page();
    start_frame(attr);
  }
  cleared_chars = false;
}

void plat_set_cursor(int16_t x, int16_t y) {
  if (framed && x >= 0 && y >= 0 && x < back.width && y < back.height) {
    screen_set_cursor(&back, x, y);
    // The clear's cursor goes to the console at once: it brings the window to the top rows.
    if (window_follows_cursor) {
      SetConsoleCursorPosition(stdout_handle(), COORD{x, y});
      front.cursor_x = x;
      front.cursor_y = y;
      window_follows_cursor = false;
    }
    return;
  }
  if (framed) stop_framing();
  SetConsoleCursorPosition(stdout_handle(), COORD{x, y});
}

void plat_set_attr(uint16_t attr) {
  if (framed) {
    back.attr = attr;
    return;
  }
  SetConsoleTextAttribute(stdout_handle(), attr);
}

// Standard output that is the console takes its text as the console channel does: in one
// write, in the console's code page (the C runtime would write it a character or two a call, and
// under wine in the ANSI code page). Redirected, it keeps the C runtime's bytes and line ends.
// Redirected standard output is in text mode, which writes each line feed as CR LF: a carriage
// return of the text's own right before a line feed is left to it, so that a line ends with one
// CR LF and not CR CR LF.
namespace {

int write_text_mode(const char* text, size_t length) {
  size_t start = 0;
  for (size_t i = 0; i + 1 < length; ++i) {
    if (text[i] != '\r' || text[i + 1] != '\n') continue;
    if (fwrite(text + start, 1, i - start, stdout) != i - start) return -1;
    start = i + 1;
  }
  return fwrite(text + start, 1, length - start, stdout) == length - start
             ? static_cast<int>(length)
             : -1;
}

} // namespace

int plat_stdout_write(const char* text, size_t length) {
  static int is_console = -1;
  if (is_console < 0) {
    DWORD mode = 0;
    is_console = GetConsoleMode(stdout_handle(), &mode) ? 1 : 0;
  }
  if (is_console == 0) return write_text_mode(text, length);
  if (frame_takes_text(text, length)) return static_cast<int>(length);
  DWORD written = 0;
  if (!write_console(stdout_handle(), text, length, &written)) return -1;
  return static_cast<int>(written);
}

// Without a console (a service, a scheduled task with no window, a redirected pipe) the
// console's text goes to standard error, as the POSIX build's does, so that a failure is told.
bool plat_console_open() {
  console_device = open_device("CONOUT$", GENERIC_WRITE);
  return console_device != INVALID_HANDLE_VALUE || GetStdHandle(STD_ERROR_HANDLE) != nullptr;
}

size_t plat_console_write(const char* text, size_t length) {
  if (console_device == INVALID_HANDLE_VALUE) {
    const size_t written = fwrite(text, 1, length, stderr);
    fflush(stderr);
    return written;
  }
  // The console device is the same console as standard output when the frame is on.
  if (frame_takes_text(text, length)) return length;
  // One call for the whole run: each call is a round trip to the console host.
  DWORD written = 0;
  if (!write_console(console_device, text, length, &written)) return 0;
  return written;
}

// QuickEdit goes off whatever the mode says: a console reports it (and insert mode) only while
// its extended flags are on, and a program before us may have set a mode without them. Such a
// mode is given back with both on, as consoles start.
bool plat_input_open() {
  console_input = open_device("CONIN$", GENERIC_READ | GENERIC_WRITE);
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

bool plat_set_title(const char* title) {
  return SetConsoleTitleA(title) != FALSE;
}

// Only this process's own console window: another copy's window has the same class and title,
// and without a console of its own the program has no window to touch.
void* plat_find_console_window(const char* title) {
  const HWND own = GetConsoleWindow();
  if (own == nullptr) return nullptr;
  const HWND found = FindWindowA("ConsoleWindowClass", title);
  return found == own ? reinterpret_cast<void*>(own) : nullptr;
}

void* plat_load_large_icon(int resource_id) {
  return reinterpret_cast<void*>(
      LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource_id)));
}

void* plat_load_small_icon(int resource_id) {
  return LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource_id), IMAGE_ICON, 16, 16,
                    LR_DEFAULTCOLOR);
}

int32_t plat_send_icon(void* window, bool large, void* icon) {
  const LRESULT previous =
      SendMessageA(reinterpret_cast<HWND>(window), WM_SETICON, large ? ICON_BIG : ICON_SMALL,
                   reinterpret_cast<LPARAM>(icon));
  return static_cast<int32_t>(previous);
}

bool plat_set_ctrl_handler(CtrlHandler handler, bool add) {
  if (handler == nullptr) return SetConsoleCtrlHandler(nullptr, add ? TRUE : FALSE) != FALSE;
  if (!add) {
    if (registered_handler == handler) registered_handler = nullptr;
    return true;
  }
  registered_handler = handler;
  if (!forwarder_registered) {
    forwarder_registered = SetConsoleCtrlHandler(forward_ctrl_event, TRUE) != FALSE;
  }
  return forwarder_registered;
}

int64_t plat_utc_ms() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (filetime_value(now) - filetime_of_1970) / 10000;
}

// The local time the system's zone rules give for the instant, less the instant.
int32_t plat_utc_offset_s(int64_t utc_ms) {
  const int64_t utc_value = utc_ms * 10000 + filetime_of_1970;
  const FILETIME utc = {static_cast<DWORD>(utc_value), static_cast<DWORD>(utc_value >> 32)};
  SYSTEMTIME utc_parts, local_parts;
  FILETIME local;
  if (!FileTimeToSystemTime(&utc, &utc_parts) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc_parts, &local_parts) ||
      !SystemTimeToFileTime(&local_parts, &local)) {
    return 0;
  }
  return static_cast<int32_t>((filetime_value(local) - utc_value) / 10000000);
}

void plat_sleep(uint32_t milliseconds) {
  flush_frame();
  Sleep(milliseconds);
}

// The console input handle is signalled while input events wait unread.
bool plat_sleep_or_input(uint32_t milliseconds) {
  flush_frame();
  if (console_input == INVALID_HANDLE_VALUE) {
    Sleep(milliseconds);
    return false;
  }
  return WaitForSingleObject(console_input, milliseconds) == WAIT_OBJECT_0;
}

int64_t plat_monotonic_ms() {
  return static_cast<int64_t>(GetTickCount64());
}

// The command processor is found the way the C runtime's system() finds it: "COMSPEC" first,
// then cmd.exe (command.com on the Windows 95 family) in the current directory and along "PATH".
// Done here with the Win32 calls so that every runtime (and wine) behaves the same.
namespace {

int run_command_processor(const char* line) {
  fflush(stdout);
  static char comspec[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("COMSPEC", comspec, sizeof comspec);
  int exit_code = -1;
  if (length > 0 && length < sizeof comspec) {
    const StartResult result = start_processor(comspec, comspec, line, &exit_code);
    if (result == StartResult::started) return exit_code;
    if (result == StartResult::failed) return -1;
  }
  const char* name = (GetVersion() & 0x80000000u) ? "command.com" : "cmd.exe";
  return start_along_path(name, line);
}

} // namespace

int plat_run_command_line(const char* line) {
  flush_frame();
  const int result = run_command_processor(line);
  take_console_back();
  return result;
}

void plat_console_text(const char* text, char* out, size_t room) {
  static wchar_t wide[1024];
  const UINT console_page = GetConsoleOutputCP();
  const int used = widen(text, wide, sizeof wide / sizeof wide[0])
                       ? WideCharToMultiByte(console_page != 0 ? console_page : CP_OEMCP, 0, wide,
                                             -1, out, static_cast<int>(room), nullptr, nullptr)
                       : 0;
  if (used == 0) snprintf(out, room, "%s", text);
}

void plat_exit(int status) {
  flush_frame();
  give_back_input_mode();
  exit(status);
}
