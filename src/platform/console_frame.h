// The pure parts of handing a pass to a console whole: which fills the copy of the console's top
// rows holds, which rectangle of cells changed since the console was last given a frame, and
// where a text would take the cursor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/screen_buffer.h"

// A fill from the top-left corner over every cell of a console of width by height.
bool fill_is_whole_clear(uint32_t count, int x, int y, int width, int height);
// The copy (the top rows of a console of console_height rows, as wide as it) holds the fill: all
// of it, or the top of a whole clear of the console.
bool copy_holds_fill(const ScreenBuffer* copy, uint32_t count, int x, int y, int console_height);

struct CellRect {
  int left, top, right, bottom; // inclusive
};

// The smallest rectangle holding every cell of back whose character or attribute differs from
// front's; false when no cell differs.
bool frame_changed_rect(const ScreenBuffer* back, const ScreenBuffer* front, CellRect* rect);

// The row the cursor would stand on once the text was written from where it stands now, as if
// the buffer had rows without end: past the last row, the text would scroll the buffer.
int frame_row_after(const ScreenBuffer* screen, const char* text, size_t length);
