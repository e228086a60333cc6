// The console's screen: standard output's screen info as last asked, and the console primitives.
// From the program's first whole clear of the console on, a pass is drawn into a copy of the
// console's top rows in memory (frame_copy.cpp) and handed to the console at each flush point as
// one rectangle of cells, so the console never shows a half-drawn screen and a pass costs a
// handful of console calls; before it, and for anything the copy cannot hold, each console
// primitive is one or two Win32 calls on the real console.
#include "platform/win32/screen.h"

#include "platform/console_frame.h"
#include "platform/platform.h"
#include "platform/screen_buffer.h"
#include "platform/win32/console_cells.h"
#include "platform/win32/console_text.h"
#include "platform/win32/frame_copy.h"

namespace {

struct ScreenState {
  bool info_stale = true; // the console is asked again after each flush: a resize shows there
  CONSOLE_SCREEN_BUFFER_INFO console_info = {};
  // The character of the last whole clear: the copy starts as it left the console.
  char cleared_char = ' ';
};
ScreenState state;

bool ask_console() {
  if (!GetConsoleScreenBufferInfo(stdout_handle(), &state.console_info)) return false;
  state.info_stale = false;
  return true;
}

// A fill from the top-left corner over every cell of the console's buffer.
bool whole_clear(uint32_t count, int16_t x, int16_t y) {
  return fill_is_whole_clear(count, x, y, state.console_info.dwSize.X, state.console_info.dwSize.Y);
}

// Back to one Win32 call a platform call: the console is given the frame first, and the next
// whole clear frames again.
void stop_framing(bool written_below) {
  flush_frame();
  end_frame(written_below);
}

// The fill's plan; when framing stops, the copy is handed to the console first.
FillPlan plan_console_fill(bool characters, uint32_t count, int16_t x, int16_t y) {
  const bool held = frame_holds_fill(count, x, y, state.console_info.dwSize.Y);
  if (frame_on() && !held) flush_frame();
  return frame_plan_fill(characters, held, whole_clear(count, x, y),
                         state.console_info.dwSize.X <= SCREEN_MAX_COLUMNS);
}

} // namespace

// Whatever the command processor wrote went to the console behind the frame's back: the copy
// takes the console's cells and cursor again, and the next clear reaches every row.
void take_console_back() {
  if (!frame_on()) return;
  const CONSOLE_SCREEN_BUFFER_INFO& console = state.console_info;
  const int16_t width = console.dwSize.X, height = console.dwSize.Y;
  if (!ask_console() || console.dwSize.X != width || console.dwSize.Y != height) {
    end_frame(false);
    return;
  }
  take_console_cells(console);
}

// Hands what changed to the console: the rectangle of cells, the cursor, the attribute.
void flush_frame() {
  if (!frame_on()) return;
  send_frame(state.console_info.srWindow);
  state.info_stale = true;
}

// Text for the console: into the copy unless it would run past the copy's rows into rows the
// copy does not hold.
bool frame_takes_text(const char* text, size_t length) {
  if (!frame_on()) return false;
  if (copy_takes_text(text, length, state.console_info.dwSize.Y)) return true;
  stop_framing(true);
  return false;
}

bool plat_stdout_present() {
  return stdout_handle() != INVALID_HANDLE_VALUE;
}

bool plat_screen_info(ScreenInfo* info) {
  const CONSOLE_SCREEN_BUFFER_INFO& buffer = state.console_info;
  if (state.info_stale || !frame_on()) {
    const int16_t width = buffer.dwSize.X, height = buffer.dwSize.Y;
    if (!ask_console()) return false;
    if (frame_on() && (buffer.dwSize.X != width || buffer.dwSize.Y != height)) stop_framing(false);
    note_console_cursor(buffer.dwCursorPosition);
  }
  if (!copy_cursor_and_attr(info)) {
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
  const FillPlan plan = plan_console_fill(true, count, x, y);
  if (plan.into_copy) fill_copy(true, byte, count, x, y, whole_clear(count, x, y));
  if (!plan.into_console) return;
  DWORD written = 0;
  if (!FillConsoleOutputCharacterA(stdout_handle(), ch, count, COORD{x, y}, &written)) {
    frame_fill_failed();
    return;
  }
  fill_shown(true, byte, count, x, y);
  state.cleared_char = ch;
}

void plat_fill_attrs(uint16_t attr, uint32_t count, int16_t x, int16_t y) {
  const FillPlan plan = plan_console_fill(false, count, x, y);
  if (plan.into_copy) fill_copy(false, attr, count, x, y, whole_clear(count, x, y));
  if (!plan.into_console) return;
  DWORD written = 0;
  if (!FillConsoleOutputAttribute(stdout_handle(), attr, count, COORD{x, y}, &written)) {
    frame_fill_failed();
    return;
  }
  fill_shown(false, attr, count, x, y);
  if (plan.start_framing) {
    start_cell_glyphs();
    start_frame(state.console_info, state.cleared_char, attr);
  }
}

void plat_set_cursor(int16_t x, int16_t y) {
  if (copy_takes_cursor(x, y)) return;
  if (frame_on()) stop_framing(false);
  // Refused (a place outside the console's buffer), the cursor stays where it is and the text
  // that follows goes there, as any console program's would: nothing to put right.
  SetConsoleCursorPosition(stdout_handle(), COORD{x, y});
}

void plat_set_attr(uint16_t attr) {
  if (copy_takes_attr(attr)) return;
  // Fails only on a handle that is no console's, which draws nothing in any attribute.
  SetConsoleTextAttribute(stdout_handle(), attr);
}
