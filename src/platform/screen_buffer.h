// An in-memory console screen buffer: cells of byte and attribute, a cursor and the current
// attribute, written the way the Win32 console writes processed output. The POSIX backend
// renders it to the terminal; the simulated backend lets tests read it.
#pragma once

#include <cstddef>
#include <cstdint>

enum : int { SCREEN_MAX_COLUMNS = 512, SCREEN_MAX_ROWS = 256 };

struct ScreenCell {
  unsigned char ch;
  bool known; // false: whatever the terminal showed before the program wrote there
  uint16_t attr;
};
// Rows are compared and filled as plain bytes.
static_assert(sizeof(ScreenCell) == 4, "a cell is four bytes without padding");

struct ScreenBuffer {
  int width, height;
  int cursor_x, cursor_y;
  uint16_t attr;
  uint32_t scrolled; // rows scrolled off the top since the renderer last looked
  bool fully_known;  // every cell has been written or filled by the program
  ScreenCell cells[SCREEN_MAX_ROWS][SCREEN_MAX_COLUMNS];
};

// Sizes are clamped to 1..SCREEN_MAX_*. Every cell becomes unknown, or a known blank.
void screen_init(ScreenBuffer* screen, int width, int height, bool known);
// Keeps the top-left content that still fits; new cells are known blanks when the buffer was
// fully known, else unknown.
void screen_resize(ScreenBuffer* screen, int width, int height);
// One byte of processed output at the cursor: CR, LF, BS, TAB and BEL act, others are shown.
void screen_write_byte(ScreenBuffer* screen, unsigned char byte);
void screen_write(ScreenBuffer* screen, const char* text, size_t length);
// Fill from (x, y) onwards in reading order, up to the end of the buffer; returns cells filled.
uint32_t screen_fill_chars(ScreenBuffer* screen, unsigned char ch, uint32_t count, int x, int y);
uint32_t screen_fill_attrs(ScreenBuffer* screen, uint16_t attr, uint32_t count, int x, int y);
// Refuses a position outside the buffer.
bool screen_set_cursor(ScreenBuffer* screen, int x, int y);
// Shifts every row up by count, as a terminal scrolls, with known blank rows at the bottom.
void screen_scroll_up(ScreenBuffer* screen, int count, uint16_t attr);
