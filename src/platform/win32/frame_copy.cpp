// The frame's copy: the copy of the console's top rows a pass is drawn into, what the console
// shows of them, the rows a flush compares, where the console's cursor stands, and the frame's
// flags; handed to the console as one rectangle of cells, and taken back from it after a launch.
#include "platform/win32/frame_copy.h"

#include <cstring>

#include "platform/screen_buffer.h"
#include "platform/win32/console_cells.h"
#include "platform/win32/console_text.h"

namespace {

// Every member starts at zero, so that the two screen buffers lie in .bss and not in the program
// file; start_frame sets each before the frame first reads it.
struct FrameCopyState {
  FrameState flags = {false, false, false, false};
  bool window_follows_cursor = false;
  // Rows from the top that may hold more than a cleared cell: in the copy since its last whole
  // clear, and on the console as the last frame left it. A frame compares no row below both.
  int back_rows = 0;
  int front_rows = 0;
  // What a cell of the copy's last whole clear holds, and whether its characters were just
  // cleared.
  unsigned char blank_char = 0;
  uint16_t blank_attr = 0;
  bool chars_just_cleared = false;
  // Where the console's cursor stands, as the program last put it or found it.
  COORD console_cursor = {0, 0};
  ScreenBuffer back = {};  // what the program has drawn
  ScreenBuffer front = {}; // what the console shows
};
FrameCopyState state;

void put_console_cursor(int x, int y) {
  const COORD place = {static_cast<SHORT>(x), static_cast<SHORT>(y)};
  if (SetConsoleCursorPosition(stdout_handle(), place)) state.console_cursor = place;
}

void note_drawn_rows(int rows) {
  if (rows > state.back_rows) state.back_rows = rows > state.back.height ? state.back.height : rows;
  state.chars_just_cleared = false;
}

// A whole clear of the copy, of its characters or of its attributes: when a clear leaves other
// cells than the last one, every row the console shows differs.
void note_whole_clear(bool characters, uint16_t value) {
  if (characters) {
    if (value != state.blank_char) state.front_rows = state.back.height;
    state.blank_char = static_cast<unsigned char>(value);
    state.chars_just_cleared = true;
    return;
  }
  if (value != state.blank_attr) state.front_rows = state.back.height;
  state.blank_attr = value;
  if (state.chars_just_cleared) state.back_rows = 0;
  state.chars_just_cleared = false;
}

void note_fill(bool characters, uint16_t value, uint32_t count, int16_t x, int16_t y, bool whole) {
  if (whole) {
    note_whole_clear(characters, value);
    return;
  }
  const ScreenBuffer& back = state.back;
  const uint64_t last = (static_cast<uint64_t>(y) * back.width + x + count - 1) / back.width;
  note_drawn_rows(last >= static_cast<uint64_t>(back.height) ? back.height
                                                             : static_cast<int>(last) + 1);
}

} // namespace

bool frame_on() {
  return state.flags.framed;
}

// The frame's copy starts as the console just cleared: every cell the same.
void start_frame(const CONSOLE_SCREEN_BUFFER_INFO& console, char cleared, uint16_t attr) {
  ScreenBuffer& back = state.back;
  const int rows = console.dwSize.Y < SCREEN_MAX_ROWS ? static_cast<int>(console.dwSize.Y)
                                                      : static_cast<int>(SCREEN_MAX_ROWS);
  screen_init(&back, console.dwSize.X, rows, true);
  screen_fill_chars(&back, static_cast<unsigned char>(cleared),
                    SCREEN_MAX_ROWS * SCREEN_MAX_COLUMNS, 0, 0);
  screen_fill_attrs(&back, attr, SCREEN_MAX_ROWS * SCREEN_MAX_COLUMNS, 0, 0);
  back.cursor_x = console.dwCursorPosition.X < back.width ? console.dwCursorPosition.X : 0;
  back.cursor_y = console.dwCursorPosition.Y < back.height ? console.dwCursorPosition.Y : 0;
  back.attr = console.wAttributes;
  back.utf8_text = console_utf8_text();
  state.console_cursor = console.dwCursorPosition;
  state.front = back;
  state.blank_char = static_cast<unsigned char>(cleared);
  state.blank_attr = attr;
  state.back_rows = state.front_rows = 0;
  state.chars_just_cleared = false;
  state.flags.framed = true;
  state.flags.below_written = false;
  state.window_follows_cursor = true;
}

void frame_fill_failed() {
  state.flags.cleared_chars = false;
  state.flags.below_written = true;
}

void end_frame(bool written_below) {
  state.flags.framed = false;
  if (written_below) state.flags.below_written = true;
}

bool frame_holds_fill(uint32_t count, int16_t x, int16_t y, int console_rows) {
  return copy_holds_fill(&state.back, count, x, y, console_rows);
}

FillPlan frame_plan_fill(bool characters, bool held, bool whole, bool fits) {
  return plan_fill(&state.flags, characters, held, whole, fits);
}

void fill_copy(bool characters, uint16_t value, uint32_t count, int16_t x, int16_t y, bool whole) {
  if (characters) {
    screen_fill_chars(&state.back, static_cast<unsigned char>(value), count, x, y);
  } else {
    screen_fill_attrs(&state.back, value, count, x, y);
  }
  note_fill(characters, value, count, x, y, whole);
}

void fill_shown(bool characters, uint16_t value, uint32_t count, int16_t x, int16_t y) {
  if (!state.flags.framed) return;
  if (characters) {
    screen_fill_chars(&state.front, static_cast<unsigned char>(value), count, x, y);
  } else {
    screen_fill_attrs(&state.front, value, count, x, y);
  }
}

bool copy_takes_text(const char* text, size_t length, int console_rows) {
  ScreenBuffer& back = state.back;
  if (back.height != console_rows && frame_row_after(&back, text, length) >= back.height)
    return false;
  const uint32_t scrolled = back.scrolled;
  screen_write(&back, text, length);
  note_drawn_rows(back.scrolled != scrolled ? back.height : back.cursor_y + 1);
  return true;
}

bool copy_takes_cursor(int16_t x, int16_t y) {
  if (!state.flags.framed || x < 0 || y < 0 || x >= state.back.width || y >= state.back.height)
    return false;
  screen_set_cursor(&state.back, x, y);
  // The clear's cursor goes to the console at once: it brings the window to the top rows.
  if (state.window_follows_cursor) {
    put_console_cursor(x, y);
    state.front.cursor_x = x;
    state.front.cursor_y = y;
    state.window_follows_cursor = false;
  }
  return true;
}

bool copy_takes_attr(uint16_t attr) {
  if (!state.flags.framed) return false;
  state.back.attr = attr;
  return true;
}

// The cursor is not where the last frame left it: another program in the console wrote, maybe
// below the window. The whole frame goes again, and the next whole clear reaches every row of the
// console.
void note_console_cursor(COORD cursor) {
  if (!state.flags.framed) return;
  if (cursor.X == state.console_cursor.X && cursor.Y == state.console_cursor.Y) return;
  state.flags.below_written = true;
  state.flags.send_whole = true;
  state.front_rows = state.back.height;
  // Where it is now: the next flush puts it back, once.
  state.console_cursor = cursor;
}

bool copy_cursor_and_attr(ScreenInfo* info) {
  if (!state.flags.framed) return false;
  info->cursor_x = static_cast<int16_t>(state.back.cursor_x);
  info->cursor_y = static_cast<int16_t>(state.back.cursor_y);
  info->attr = state.back.attr;
  return true;
}

void send_frame(const SMALL_RECT& window) {
  ScreenBuffer& back = state.back;
  ScreenBuffer& front = state.front;
  // The cells that changed, and after a whole clear the copy as far as the window shows it: on
  // a console of 9,001 rows the rest is nobody's to see, and stays as the console's own clear
  // left it unless something was written there.
  const int shown_rows = window.Bottom + 1 < back.height ? window.Bottom + 1 : back.height;
  int compared = state.back_rows > state.front_rows ? state.back_rows : state.front_rows;
  if (compared < shown_rows) compared = shown_rows;
  CellRect rect = {back.width, back.height, -1, -1};
  const bool changed = frame_changed_rect(&back, &front, compared, &rect);
  if (state.flags.send_whole)
    rect = {0, 0, back.width - 1,
            changed && rect.bottom >= shown_rows ? rect.bottom : shown_rows - 1};
  // A wide character goes whole, both halves.
  for (int y = rect.top; changed && y <= rect.bottom; ++y) {
    if (rect.left > 0 && screen_row(&back, y)[rect.left].kind == CELL_WIDE_RIGHT) --rect.left;
    if (screen_cell_wide(&back, rect.right, y)) ++rect.right;
  }
  // Only cells the console took are shown: a write that failed is sent again next time.
  if ((state.flags.send_whole || changed) && write_cells(stdout_handle(), &back, rect)) {
    for (int y = rect.top; y <= rect.bottom; ++y) {
      memcpy(&screen_row(&front, y)[rect.left], &screen_row(&back, y)[rect.left],
             sizeof(ScreenCell) * (rect.right - rect.left + 1));
    }
    state.flags.send_whole = false;
    state.front_rows = state.back_rows;
  }
  // The window shows the top rows, or, on a window shorter than the screen, the rows down to the
  // cursor, where the console's own scrolling would leave it: set only when it is elsewhere (the
  // user scrolled it), so that it does not move each pass.
  const int window_rows = window.Bottom - window.Top + 1;
  const int top = back.cursor_y < window_rows ? 0 : back.cursor_y - window_rows + 1;
  if (window.Top != top) {
    const SMALL_RECT place = {window.Left, static_cast<SHORT>(top), window.Right,
                              static_cast<SHORT>(top + window_rows - 1)};
    // Refused (a window that no longer fits the buffer), it stays where it is; the next flush
    // finds it elsewhere again and tries once more.
    SetConsoleWindowInfo(stdout_handle(), TRUE, &place);
  }
  if (back.cursor_x != state.console_cursor.X || back.cursor_y != state.console_cursor.Y) {
    put_console_cursor(back.cursor_x, back.cursor_y);
  }
  front.cursor_x = back.cursor_x;
  front.cursor_y = back.cursor_y;
  // The console's own attribute is what others' output (the command processor's) is drawn in.
  if (back.attr != front.attr && SetConsoleTextAttribute(stdout_handle(), back.attr)) {
    front.attr = back.attr;
  }
}

void take_console_cells(const CONSOLE_SCREEN_BUFFER_INFO& console) {
  ScreenBuffer& back = state.back;
  if (!read_cells(stdout_handle(), &back)) {
    state.flags.framed = false;
    return;
  }
  const COORD cursor = console.dwCursorPosition;
  state.console_cursor = cursor;
  back.cursor_x = cursor.X < back.width ? cursor.X : back.width - 1;
  back.cursor_y = cursor.Y < back.height ? cursor.Y : back.height - 1;
  back.attr = console.wAttributes;
  state.front = back;
  state.back_rows = state.front_rows = back.height;
  state.flags.below_written = true;
}
