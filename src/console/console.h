// Console primitives: clearing, colours, the cursor in 1-based columns and rows, the window's
// size, a cursor bookmark, and the two output channels (standard output, and the console device
// itself, which still reaches the user when standard output is redirected).
#pragma once

#include <cstdint>

struct CursorMark {
  int32_t column;
  int32_t row;
  int32_t saved_column;
  int32_t saved_row;
};

enum CursorFlags : int {
  CUR_SAVE = 0x1,
  CUR_RESTORE = 0x2,
  CUR_RIGHT = 0x4,
  CUR_LEFT = 0x8,
  CUR_UP = 0x10,
  CUR_DOWN = 0x20,
  CUR_LINE_START = 0x100,
  CUR_LINE_END = 0x200,
};

// Text attributes the program uses (Win32 attribute word: blue is bit 0, red bit 2).
enum : int {
  ATTR_NORMAL = 0x07,
  ATTR_BRIGHT_BLUE = 0x09,
  ATTR_BRIGHT_RED = 0x0C,
  ATTR_BRIGHT_WHITE = 0x0F,
  ATTR_ON_RED = 0x40,
  ATTR_ON_GREY = 0x70,
};

void clear_screen();
int16_t window_width();
int16_t window_height();
void set_text_attr(int attr);
int current_text_attr();
void set_foreground(int colour);
int cursor_column();
int cursor_row();
void cursor_goto(int column, int row);
CursorMark mark_cursor();
void move_cursor(CursorMark* mark, int flags);

int out_print(const char* format, ...) __attribute__((format(printf, 1, 2)));
int con_print(const char* format, ...) __attribute__((format(printf, 1, 2)));
int con_putc(int c);

// A new process starts with the console device not yet opened.
void console_reset_state();
