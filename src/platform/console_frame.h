// The pure parts of handing a pass to a console whole: which rectangle of cells changed since
// the console was last given a frame, and where a text would take the cursor.
#pragma once

#include <cstddef>

#include "platform/screen_buffer.h"

struct CellRect {
  int left, top, right, bottom; // inclusive
};

// The smallest rectangle holding every cell of back whose character or attribute differs from
// front's; false when no cell differs.
bool frame_changed_rect(const ScreenBuffer* back, const ScreenBuffer* front, CellRect* rect);

// The row the cursor would stand on once the text was written from where it stands now, as if
// the buffer had rows without end: past the last row, the text would scroll the buffer.
int frame_row_after(const ScreenBuffer* screen, const char* text, size_t length);
