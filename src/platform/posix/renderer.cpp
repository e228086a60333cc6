// The renderer: scrolls first, then the differing cells in reading order, then the cursor.
#include "platform/posix/renderer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "platform/posix/cp437.h"

namespace {

void append_text(FrameBytes* frame, const char* text) {
  frame_append(frame, text, strlen(text));
}

void emit_glyph(FrameBytes* frame, unsigned char ch) {
  char glyph[4];
  frame_append(frame, glyph, utf8_encode(cp437_glyph(ch), glyph));
}

// A short hop right over cells the terminal already shows in the attribute in force is cheaper
// written again than jumped over.
bool rewrite_gap(const ScreenBuffer* back, FrameBytes* frame, TerminalState* terminal, int x,
                 int y) {
  if (terminal->y != y || terminal->x < 0 || x <= terminal->x || x - terminal->x > 4) return false;
  for (int i = terminal->x; i < x; ++i) {
    if (!back->cells[y][i].known || back->cells[y][i].attr != terminal->attr) return false;
  }
  for (int i = terminal->x; i < x; ++i) emit_glyph(frame, back->cells[y][i].ch);
  terminal->x = x;
  return true;
}

void move_to(FrameBytes* frame, TerminalState* terminal, int x, int y) {
  if (terminal->x == x && terminal->y == y) return;
  char sequence[32];
  if (x == 0) {
    snprintf(sequence, sizeof sequence, "\x1b[%dH", y + 1);
  } else {
    snprintf(sequence, sizeof sequence, "\x1b[%d;%dH", y + 1, x + 1);
  }
  append_text(frame, sequence);
  terminal->x = x;
  terminal->y = y;
}

void use_attr(FrameBytes* frame, TerminalState* terminal, uint16_t attr) {
  if (terminal->attr == attr) return;
  char sequence[32];
  frame_append(frame, sequence, sgr_for_attr(attr, sequence));
  terminal->attr = attr;
}

bool same_cell(const ScreenCell& a, const ScreenCell& b) {
  if (!a.known || !b.known) return a.known == b.known;
  return a.ch == b.ch && a.attr == b.attr;
}

void fill_front(ScreenBuffer* front, bool known, uint16_t attr) {
  for (int y = 0; y < front->height; ++y) {
    for (int x = 0; x < front->width; ++x) front->cells[y][x] = ScreenCell{' ', known, attr};
  }
}

// The terminal scrolls by newlines at its bottom row, as the buffer did.
void emit_scroll(ScreenBuffer* back, ScreenBuffer* front, TerminalState* terminal,
                 FrameBytes* frame) {
  const int rows = back->scrolled > static_cast<uint32_t>(back->height)
                       ? back->height
                       : static_cast<int>(back->scrolled);
  back->scrolled = 0;
  if (rows == 0) return;
  use_attr(frame, terminal, 0x07);
  move_to(frame, terminal, 0, back->height - 1);
  for (int i = 0; i < rows; ++i) append_text(frame, "\n");
  terminal->x = 0;
  screen_scroll_up(front, rows, 0x07);
}

} // namespace

void frame_spill(FrameBytes* frame) {
  size_t done = 0;
  while (frame->fd >= 0 && done < frame->length) {
    const ssize_t written = write(frame->fd, frame->data + done, frame->length - done);
    if (written > 0) {
      done += static_cast<size_t>(written);
    } else if (written < 0 && errno != EINTR) {
      break; // the terminal is gone; nothing more can be shown
    }
  }
  frame->length = 0;
}

void frame_append(FrameBytes* frame, const char* bytes, size_t length) {
  if (frame->length + length > sizeof frame->data) frame_spill(frame);
  if (length > sizeof frame->data) return;
  memcpy(frame->data + frame->length, bytes, length);
  frame->length += length;
}

size_t sgr_for_attr(uint16_t attr, char* out) {
  // Win32 puts blue in bit 0 and red in bit 2; ANSI numbers red 1 and blue 4.
  auto ansi = [](int colour) { return (colour & 2) | ((colour & 1) << 2) | ((colour & 4) >> 2); };
  const int fg = attr & 0x0F;
  const int bg = (attr >> 4) & 0x0F;
  const int fg_code = fg == 7 ? 39 : (fg & 8 ? 90 : 30) + ansi(fg & 7);
  const int bg_code = bg == 0 ? 49 : (bg & 8 ? 100 : 40) + ansi(bg & 7);
  const int n = snprintf(out, 32, "\x1b[%d;%dm", fg_code, bg_code);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

void render_frame(ScreenBuffer* back, ScreenBuffer* front, bool* front_valid,
                  TerminalState* terminal, FrameBytes* frame) {
  const size_t start = frame->length;
  emit_scroll(back, front, terminal, frame);
  bool hidden = false;
  if (!*front_valid) {
    if (back->fully_known) {
      // The program owns the whole screen: clear it, then draw what is not blank.
      append_text(frame, "\x1b[?25l");
      hidden = true;
      use_attr(frame, terminal, 0x07);
      append_text(frame, "\x1b[H\x1b[2J");
      terminal->x = 0;
      terminal->y = 0;
      fill_front(front, true, 0x07);
    } else {
      fill_front(front, false, 0x07);
    }
    *front_valid = true;
  }
  for (int y = 0; y < back->height; ++y) {
    for (int x = 0; x < back->width; ++x) {
      const ScreenCell& cell = back->cells[y][x];
      if (same_cell(cell, front->cells[y][x]) || !cell.known) continue;
      if (!hidden) {
        append_text(frame, "\x1b[?25l");
        hidden = true;
      }
      if (!rewrite_gap(back, frame, terminal, x, y)) move_to(frame, terminal, x, y);
      use_attr(frame, terminal, cell.attr);
      emit_glyph(frame, cell.ch);
      front->cells[y][x] = cell;
      // In the last column the terminal holds the cursor there until the next character.
      terminal->x = x + 1 < back->width ? x + 1 : -1;
    }
  }
  if (frame->length != start || terminal->x != back->cursor_x || terminal->y != back->cursor_y) {
    move_to(frame, terminal, back->cursor_x, back->cursor_y);
  }
  if (hidden) append_text(frame, "\x1b[?25h");
}
