// Console primitives over the platform layer. Every query asks the console; only the console
// device, once opened, is kept.
#include "console/console.h"

#include <cstdarg>

#include "platform/platform.h"
#include "util/format.h"

namespace {

enum class DeviceState { not_opened, open, failed };
struct ConsoleState {
  DeviceState device = DeviceState::not_opened;
};
ConsoleState state;

// Long enough for any line the program prints, a 256-character command included.
constexpr int print_room = 2048;

int formatted_length(int written) {
  return written < print_room ? written : print_room - 1;
}

// The console device is opened on first use; a failed open is remembered and not retried.
bool console_device_ready() {
  if (state.device == DeviceState::not_opened) {
    state.device = plat_console_open() ? DeviceState::open : DeviceState::failed;
  }
  return state.device == DeviceState::open;
}

} // namespace

void clear_screen() {
  ScreenInfo info;
  if (!plat_screen_info(&info)) return;
  const uint32_t cells = static_cast<uint32_t>(info.size_x) * static_cast<uint32_t>(info.size_y);
  plat_fill_chars(' ', cells, 0, 0);
  if (plat_screen_info(&info)) plat_fill_attrs(info.attr, cells, 0, 0);
  plat_set_cursor(0, 0);
}

int16_t window_width() {
  ScreenInfo info;
  if (!plat_screen_info(&info)) return 0;
  return static_cast<int16_t>(info.right - info.left + 1);
}

int16_t window_height() {
  ScreenInfo info;
  if (!plat_screen_info(&info)) return 0;
  return static_cast<int16_t>(info.bottom - info.top + 1);
}

void set_text_attr(int attr) {
  plat_set_attr(static_cast<uint16_t>(attr & 0xFFFF));
}

int current_text_attr() {
  ScreenInfo info;
  if (!plat_screen_info(&info)) return 0;
  return info.attr;
}

void set_foreground(int colour) {
  set_text_attr((current_text_attr() & 0xF0) | colour);
}

int cursor_column() {
  ScreenInfo info;
  if (!plat_screen_info(&info)) return 0;
  return info.cursor_x + 1;
}

int cursor_row() {
  ScreenInfo info;
  if (!plat_screen_info(&info)) return 0;
  return info.cursor_y + 1;
}

void cursor_goto(int column, int row) {
  if (!plat_stdout_present()) return;
  const int x = column - 1 < 0 ? 0 : column - 1;
  const int y = row - 1 < 0 ? 0 : row - 1;
  // Past the 16-bit range the position is outside any buffer, which the console refuses.
  if (x > INT16_MAX || y > INT16_MAX) return;
  plat_set_cursor(static_cast<int16_t>(x), static_cast<int16_t>(y));
}

CursorMark mark_cursor() {
  const int column = cursor_column();
  const int row = cursor_row();
  return CursorMark{column, row, column, row};
}

namespace {

void read_cursor(CursorMark* mark) {
  mark->column = cursor_column();
  mark->row = cursor_row();
}

void move_horizontally(CursorMark* mark, int flags) {
  if (flags & CUR_RIGHT) {
    read_cursor(mark);
    ++mark->column;
    cursor_goto(mark->column, mark->row);
  } else if (flags & CUR_LEFT) {
    read_cursor(mark);
    if (mark->column > 1) {
      --mark->column;
      cursor_goto(mark->column, mark->row);
    }
  } else if (flags & CUR_LINE_START) {
    mark->row = cursor_row();
    mark->column = 1;
    cursor_goto(1, mark->row);
  } else if (flags & CUR_LINE_END) {
    mark->row = cursor_row();
    mark->column = window_width();
    cursor_goto(mark->column, mark->row);
  }
}

void move_vertically(CursorMark* mark, int flags) {
  if (flags & CUR_UP) {
    read_cursor(mark);
    if (mark->row > 1) {
      --mark->row;
      cursor_goto(mark->column, mark->row);
    }
  } else if (flags & CUR_DOWN) {
    read_cursor(mark);
    ++mark->row;
    cursor_goto(mark->column, mark->row);
  }
}

} // namespace

void move_cursor(CursorMark* mark, int flags) {
  if (flags & CUR_RESTORE) cursor_goto(mark->saved_column, mark->saved_row);
  move_horizontally(mark, flags);
  move_vertically(mark, flags);
  if (flags & CUR_SAVE) {
    mark->saved_column = cursor_column();
    mark->saved_row = cursor_row();
  }
}

int out_print(const char* format, ...) {
  char text[print_room];
  va_list args;
  va_start(args, format);
  const int written = format_text(text, sizeof text, format, args);
  va_end(args);
  if (written < 0) return written;
  return plat_stdout_write(text, static_cast<size_t>(formatted_length(written)));
}

int con_print(const char* format, ...) {
  char text[print_room];
  va_list args;
  va_start(args, format);
  const int written = format_text(text, sizeof text, format, args);
  va_end(args);
  if (written < 0) return -1;
  const int length = formatted_length(written);
  if (length == 0) return 0;
  if (!console_device_ready()) return -1;
  // The console takes the bytes in order; the first one refused ends the print.
  const size_t taken = plat_console_write(text, static_cast<size_t>(length));
  return taken == static_cast<size_t>(length) ? length : -1;
}

void console_reset_state() {
  state = ConsoleState{};
}

int con_putc(int c) {
  if (!console_device_ready()) return -1;
  const char byte = static_cast<char>(c & 0xFF);
  return plat_console_write(&byte, 1) == 1 ? static_cast<unsigned char>(byte) : -1;
}
