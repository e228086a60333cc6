// The copy's cells as the console's and back: each byte's glyph in the console's code page, each
// foreign character's console character, and whole rectangles of cells written and read.
#pragma once

#include <windows.h>

#include "platform/console_frame.h"
#include "platform/screen_buffer.h"

// The glyphs of a frame that starts: each byte's in the console's code page as it is now, and
// none yet for the copy's foreign characters (the copy starts again with none).
void start_cell_glyphs();
// Writes the rectangle of the copy's cells to the same place on the console, in one call.
bool write_cells(HANDLE out, const ScreenBuffer* copy, const CellRect& rect);
// Reads the console's top rows, as many and as wide as the copy's, into the copy's cells.
bool read_cells(HANDLE out, ScreenBuffer* copy);
