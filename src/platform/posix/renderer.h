// Brings a terminal from what it shows (the front buffer) to what the program drew (the back
// buffer), emitting only the cells that differ, each reached by the shortest cursor move.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/posix/terminal.h"
#include "platform/screen_buffer.h"

// What the terminal makes of what it is sent. colours off (NO_COLOR, or a terminal without
// them): any background shows as reverse video and every foreground as the terminal's own, so
// that cells differing only in colour are the same. hides_cursor off: the terminal is sent no
// sequence for its cursor.
struct TerminalTraits {
  bool colours = true;
  bool hides_cursor = true;
};

// Where the terminal's cursor stands and which attribute is in force; -1 when not known.
// cleared: the program has cleared the screen once; later repaints write every cell over what
// is there instead, since terminals push a cleared screen into their scrollback. traits: what
// the terminal makes of the bytes, known from when the screen opens.
struct TerminalState {
  int x, y;
  int attr;
  bool cleared;
  TerminalTraits traits = {};
};

// A frame's bytes. When it fills up, and at each spill, they go to send, or are dropped while
// there is none. send says false when not all of them were taken (on the terminal what it does
// not take at once is dropped, since a stalled terminal must never hold up the program); that
// is noted in dropped.
struct FrameBytes {
  size_t length = 0;
  bool (*send)(const char* bytes, size_t length) = nullptr;
  uint32_t spills = 0;
  bool dropped = false;
  char data[terminal_write_room];
};

void frame_append(FrameBytes* frame, const char* bytes, size_t length);
void frame_spill(FrameBytes* frame);

// The attribute as the terminal shows it: without colours, reverse video or the normal one.
uint16_t displayed_attr(uint16_t attr, TerminalTraits traits);

// SGR for a Win32 attribute: foreground and background with red and blue swapped, intensity as
// the bright colours, light grey on black as the terminal's own colours (a reset). Only what
// differs from the attribute from is set; from -1 (not known) sets both. Room for 32 bytes.
size_t sgr_for_attr(uint16_t attr, int from, TerminalTraits traits, char* out);

// Appends the update to frame and makes front equal to back. front_valid false: the terminal's
// content is not known (start, foreign output, a resize, a return to the foreground) and is
// repainted.
void render_frame(ScreenBuffer* back, ScreenBuffer* front, bool* front_valid,
                  TerminalState* terminal, FrameBytes* frame);
