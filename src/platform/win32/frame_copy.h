// The frame's copy: from the program's first whole clear of the console on, a pass is drawn into
// a copy of the console's top rows, beside what the console shows of them, and handed to the
// console at each flush point as one rectangle of cells. What it needs of the console's screen
// info, screen.cpp hands it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "platform/console_frame.h"
#include "platform/platform.h"

// Passes are drawn into the copy.
bool frame_on();
// The frame starts as the console was just cleared (console its screen info): every cell the
// cleared character in attr.
void start_frame(const CONSOLE_SCREEN_BUFFER_INFO& console, char cleared, uint16_t attr);
// Back to the console one call a primitive, once the copy was handed over or when it cannot be
// taken back; written_below: text goes to the console's rows below the copy.
void end_frame(bool written_below);
// The copy holds the fill, on a console of console_rows rows (copy_holds_fill).
bool frame_holds_fill(uint32_t count, int16_t x, int16_t y, int console_rows);
// Where a fill goes, and the frame's flags moved on (plan_fill).
FillPlan frame_plan_fill(bool characters, bool held, bool whole, bool fits);
// A fill the console did not take: no frame starts on cells the console may not hold, and the
// next whole clear reaches the rows below the copy again.
void frame_fill_failed();
// A fill of characters (or else of attributes) into the copy; whole: it clears the console.
void fill_copy(bool characters, uint16_t value, uint32_t count, int16_t x, int16_t y, bool whole);
// A fill that went to the console while the frame is on: the console shows it.
void fill_shown(bool characters, uint16_t value, uint32_t count, int16_t x, int16_t y);
// Text into the copy, unless it would run past the copy's rows into rows of a console of
// console_rows rows that the copy does not hold (a copy of every row scrolls as the console does).
bool copy_takes_text(const char* text, size_t length, int console_rows);
// The cursor into the copy, false when the frame is off or the place is outside the copy.
bool copy_takes_cursor(int16_t x, int16_t y);
// The attribute into the copy, false when the frame is off.
bool copy_takes_attr(uint16_t attr);
// The console's cursor as just asked: anywhere but where the last frame left it, another program
// wrote.
void note_console_cursor(COORD cursor);
// The copy's cursor and attribute into info; false when the frame is off.
bool copy_cursor_and_attr(ScreenInfo* info);
// Hands what changed to the console (its window as last asked): the cells, the cursor, the
// attribute.
void send_frame(const SMALL_RECT& window);
// The copy takes the console's cells, cursor and attribute (console its screen info as just
// asked): whatever the command processor wrote went to the console behind the frame's back.
void take_console_cells(const CONSOLE_SCREEN_BUFFER_INFO& console);
