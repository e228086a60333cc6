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

// What the frame knows between two fills of the console.
struct FrameState {
  bool framed;        // passes are drawn into the copy and handed over at the flush points
  bool cleared_chars; // unframed, the last fill cleared every character: a whole clear of the
                      // attributes next makes the console known, and the frame starts
  bool below_written; // text reached the console's rows below the copy since the last clear
  bool send_whole;    // the next flush sends the whole copy (another program may have written)
};

// Where a fill goes: into the copy, into the console itself (after the copy was handed over and
// framing stopped, when the copy cannot hold the fill), and whether the frame starts after it.
struct FillPlan {
  bool into_copy;
  bool into_console;
  bool stop_framing;
  bool start_framing;
};

// Plans a fill of characters (or else of attributes) and moves the state on. held: the copy
// holds it (copy_holds_fill); whole: it clears the whole console; fits: the console is no wider
// than a copy can be. A whole clear reaches the console's rows below the copy only when
// something was written there since the last one: on a console of 9,001 rows those rows are
// most of the work.
FillPlan plan_fill(FrameState* state, bool characters, bool held, bool whole, bool fits);

struct CellRect {
  int left, top, right, bottom; // inclusive
};

// The smallest rectangle holding every cell of back's first rows whose character or attribute
// differs from front's; false when no cell there differs.
bool frame_changed_rect(const ScreenBuffer* back, const ScreenBuffer* front, int rows,
                        CellRect* rect);

// The row the cursor would stand on once the text was written from where it stands now, as if
// the buffer had rows without end: past the last row, the text would scroll the buffer.
int frame_row_after(const ScreenBuffer* screen, const char* text, size_t length);
