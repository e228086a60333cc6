// The renderer: scrolls first, then the differing cells in reading order, then the cursor.
#include "platform/posix/renderer.h"

#include <cstring>

#include "platform/cp437.h"
#include "platform/posix/terminal.h"

namespace {

// A frame up to this size reaches the terminal in one read: its cursor hops are never seen.
constexpr size_t hide_cursor_above_bytes = 1024;
const char hide_cursor[] = "\x1b[?25l";
const char show_cursor[] = "\x1b[?25h";

void append_text(FrameBytes* frame, const char* text) {
  frame_append(frame, text, strlen(text));
}

// A wide character's bytes go with its left half; the right half has none. Room for
// GLYPH_BYTES_MAX.
size_t glyph_bytes(const ScreenBuffer* back, const ScreenCell& cell, int columns, char* out) {
  if (cell.kind == CELL_WIDE_RIGHT) return 0;
  if (cell.kind == CELL_FOREIGN)
    return foreign_glyph_bytes(back->foreign[cell.ch], FOREIGN_POINTS, columns, out);
  return glyph_bytes_for(cell.ch, out);
}

void emit_glyph(FrameBytes* frame, const ScreenBuffer* back, const ScreenCell& cell, int columns) {
  // Printable ASCII is its own glyph, and most of what is drawn.
  if (cell.ch >= 0x20 && cell.ch < 0x7F && cell.kind == CELL_BYTE &&
      frame->length < sizeof frame->data) {
    frame->data[frame->length++] = static_cast<char>(cell.ch);
    return;
  }
  char glyph[GLYPH_BYTES_MAX];
  frame_append(frame, glyph, glyph_bytes(back, cell, columns, glyph));
}

// A few bytes of control sequences, to compare candidate moves by length.
struct Sequence {
  char text[40];
  size_t length;
};

void add_char(Sequence* s, char c) {
  if (s->length < sizeof s->text) s->text[s->length++] = c;
}

void add_number(Sequence* s, int number) {
  char digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number > 0 && count < 12);
  while (count > 0) add_char(s, digits[--count]);
}

void add_csi(Sequence* s) {
  add_char(s, '\x1b');
  add_char(s, '[');
}

// CSI with one count and a final byte; a count of 1 is the default and left out.
void add_counted(Sequence* s, int count, char final) {
  add_csi(s);
  if (count != 1) add_number(s, count);
  add_char(s, final);
}

// Row and column 1 are the defaults and left out.
Sequence absolute_move(int x, int y) {
  Sequence s{{}, 0};
  add_csi(&s);
  if (x > 0 || y > 0) add_number(&s, y + 1);
  if (x > 0) {
    add_char(&s, ';');
    add_number(&s, x + 1);
  }
  add_char(&s, 'H');
  return s;
}

// Rows up or down, then columns right, or left by backspaces or a count. Needs a known position
// that is not waiting to wrap.
bool relative_move(const TerminalState& from, int x, int y, Sequence* s) {
  if (from.x < 0 || from.y < 0) return false;
  if (y != from.y) add_counted(s, y < from.y ? from.y - y : y - from.y, y < from.y ? 'A' : 'B');
  if (x > from.x) add_counted(s, x - from.x, 'C');
  if (x < from.x && from.x - x <= 2) {
    for (int i = x; i < from.x; ++i) add_char(s, '\b');
  } else if (x < from.x) {
    add_counted(s, from.x - x, 'D');
  }
  return true;
}

// Cells between the cursor and x that the terminal already shows in the attribute in force:
// written again when that is shorter than moving over them. Gives the bytes, or 0.
size_t gap_bytes(const ScreenBuffer* back, const TerminalState& from, int x, int y, char* out,
                 size_t room) {
  if (from.y != y || from.x < 0 || x <= from.x) return 0;
  const ScreenCell* const row = screen_row(back, y);
  // The terminal's cursor never stands inside a wide character it shows.
  if (row[from.x].kind == CELL_WIDE_RIGHT) return 0;
  size_t length = 0;
  for (int i = from.x; i < x; ++i) {
    const ScreenCell& cell = row[i];
    if (cell.kind == CELL_UNKNOWN || displayed_attr(cell.attr, from.traits) != from.attr) return 0;
    char glyph[GLYPH_BYTES_MAX];
    const size_t size = glyph_bytes(back, cell, screen_cell_wide(back, i, y) ? 2 : 1, glyph);
    if (length + size > room) return 0;
    memcpy(out + length, glyph, size);
    length += size;
  }
  return length;
}

// The shortest of an absolute move, a relative one, and writing over the gap.
void move_to(const ScreenBuffer* back, FrameBytes* frame, TerminalState* terminal, int x, int y) {
  if (terminal->x == x && terminal->y == y) return;
  Sequence best = absolute_move(x, y);
  Sequence relative{{}, 0};
  if (relative_move(*terminal, x, y, &relative) && relative.length < best.length) best = relative;
  char gap[sizeof best.text];
  const size_t gap_length = gap_bytes(back, *terminal, x, y, gap, sizeof gap);
  if (gap_length > 0 && gap_length <= best.length) {
    frame_append(frame, gap, gap_length);
  } else {
    frame_append(frame, best.text, best.length);
  }
  terminal->x = x;
  terminal->y = y;
}

void change_attr(FrameBytes* frame, TerminalState* terminal, uint16_t attr) {
  char sequence[32];
  frame_append(frame, sequence, sgr_for_attr(attr, terminal->attr, terminal->traits, sequence));
  terminal->attr = attr;
}

// Most cells a frame draws are in the attribute already in force: that test stays in the loop.
void use_attr(FrameBytes* frame, TerminalState* terminal, uint16_t attr) {
  if (terminal->attr != attr) change_attr(frame, terminal, attr);
}

// Cells that look the same on the terminal.
bool shows_the_same(const ScreenCell& a, const ScreenCell& b, TerminalTraits traits) {
  if (a.kind == CELL_UNKNOWN || b.kind == CELL_UNKNOWN) return a.kind == b.kind;
  return a.ch == b.ch && a.kind == b.kind &&
         displayed_attr(a.attr, traits) == displayed_attr(b.attr, traits);
}

// Rows equal byte for byte hold the same cells; only the others are looked at cell by cell.
bool same_row(const ScreenBuffer* back, const ScreenBuffer* front, int y) {
  return memcmp(screen_row(back, y), screen_row(front, y), sizeof(ScreenCell) * back->width) == 0;
}

// Where the row's blanks in the normal colours begin, up to its end.
int blank_tail(const ScreenBuffer* back, int y, TerminalTraits traits) {
  int x = back->width;
  while (x > 0) {
    const ScreenCell& cell = screen_row(back, y)[x - 1];
    if (cell.kind != CELL_BYTE || cell.ch != ' ' || displayed_attr(cell.attr, traits) != 0x07)
      break;
    --x;
  }
  return x;
}

int cells_differing(const ScreenBuffer* back, const ScreenBuffer* front, int y, int from,
                    TerminalTraits traits) {
  const ScreenCell* const row = screen_row(back, y);
  const ScreenCell* const shown = screen_row(front, y);
  int count = 0;
  for (int x = from; x < back->width; ++x) {
    count += shows_the_same(row[x], shown[x], traits) ? 0 : 1;
  }
  return count;
}

void draw_cells(ScreenBuffer* back, ScreenBuffer* front, TerminalState* terminal, FrameBytes* frame,
                int y, int end) {
  const ScreenCell* const row = screen_row(back, y);
  ScreenCell* const shown = screen_row(front, y);
  const TerminalTraits traits = terminal->traits;
  for (int x = 0; x < end; ++x) {
    const ScreenCell& cell = row[x];
    // A wide character is drawn whole when either half differs.
    const int columns = screen_cell_wide(back, x, y) ? 2 : 1;
    if (cell.kind == CELL_UNKNOWN ||
        (shows_the_same(cell, shown[x], traits) &&
         (columns == 1 || shows_the_same(row[x + 1], shown[x + 1], traits)))) {
      x += columns - 1;
      continue;
    }
    move_to(back, frame, terminal, x, y);
    use_attr(frame, terminal, displayed_attr(cell.attr, traits));
    if (cell.kind == CELL_WIDE_RIGHT) {
      emit_glyph(frame, back, ScreenCell{' ', CELL_BYTE, cell.attr}, 1); // a half left alone
    } else {
      emit_glyph(frame, back, cell, columns);
    }
    shown[x] = cell;
    if (columns == 2) shown[x + 1] = row[x + 1];
    x += columns - 1;
    // In the last column the terminal holds the cursor there until the next character.
    terminal->x = x + 1 < back->width ? x + 1 : -1;
  }
}

// More than a few blanks at a row's end are erased rather than written.
void erase_tail(ScreenBuffer* back, ScreenBuffer* front, TerminalState* terminal, FrameBytes* frame,
                int y, int tail) {
  move_to(back, frame, terminal, tail, y);
  use_attr(frame, terminal, 0x07);
  append_text(frame, "\x1b[K");
  memcpy(screen_row(front, y) + tail, screen_row(back, y) + tail,
         sizeof(ScreenCell) * (back->width - tail));
}

// Draws the known cells that differ from what the terminal shows.
void draw_changes(ScreenBuffer* back, ScreenBuffer* front, TerminalState* terminal,
                  FrameBytes* frame) {
  for (int y = 0; y < back->height; ++y) {
    if (same_row(back, front, y)) continue;
    const int tail = blank_tail(back, y, terminal->traits);
    const bool erase = cells_differing(back, front, y, tail, terminal->traits) > 3;
    draw_cells(back, front, terminal, frame, y, erase ? tail : back->width);
    if (erase) erase_tail(back, front, terminal, frame, y, tail);
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
  move_to(back, frame, terminal, 0, back->height - 1);
  for (int i = 0; i < rows; ++i) append_text(frame, "\n");
  terminal->x = 0;
  screen_scroll_up(front, rows, 0x07);
}

// The program takes the whole screen: the first time, clear it in the normal colours, so that
// only what is not blank needs drawing; after that every cell is written over what is there
// (another program may have left anything on the screen, in any colour, the cursor anywhere).
void start_repaint(ScreenBuffer* front, TerminalState* terminal, FrameBytes* frame) {
  terminal->attr = -1;
  append_text(frame, TERMINAL_RESET_MODES TERMINAL_RESET_SCROLL_HOMING);
  terminal->x = 0;
  terminal->y = 0;
  if (terminal->cleared) {
    screen_blank(front, false);
    return;
  }
  use_attr(frame, terminal, 0x07);
  append_text(frame, "\x1b[2J");
  terminal->cleared = true;
  screen_blank(front, true);
}

} // namespace

void frame_spill(FrameBytes* frame) {
  ++frame->spills;
  if (frame->send != nullptr && frame->length > 0 && !frame->send(frame->data, frame->length)) {
    frame->dropped = true; // stalled (flow control, a full connection) or gone
  }
  frame->length = 0;
}

void frame_append(FrameBytes* frame, const char* bytes, size_t length) {
  if (frame->length + length > sizeof frame->data) frame_spill(frame);
  if (length > sizeof frame->data) return;
  memcpy(frame->data + frame->length, bytes, length);
  frame->length += length;
}

uint16_t displayed_attr(uint16_t attr, TerminalTraits traits) {
  if (traits.colours) return attr;
  return (attr & 0xF0) != 0 ? 0x70 : 0x07;
}

size_t sgr_for_attr(uint16_t attr, int from, TerminalTraits traits, char* out) {
  if (!traits.colours) {
    // Without colours a background is shown as reverse video, everything else plain.
    const char* const sequence = (attr & 0xF0) != 0 ? "\x1b[7m" : "\x1b[m";
    const size_t length = strlen(sequence);
    memcpy(out, sequence, length);
    return length;
  }
  // Win32 puts blue in bit 0 and red in bit 2; ANSI numbers red 1 and blue 4.
  auto ansi = [](int colour) { return (colour & 2) | ((colour & 1) << 2) | ((colour & 4) >> 2); };
  auto fg_code = [&](int a) { return (a & 0x0F) == 7 ? 39 : (a & 8 ? 90 : 30) + ansi(a & 7); };
  auto bg_code = [&](int a) {
    const int bg = (a >> 4) & 0x0F;
    return bg == 0 ? 49 : (bg & 8 ? 100 : 40) + ansi(bg & 7);
  };
  Sequence s{{}, 0};
  add_csi(&s);
  // Light grey on black is the terminal's own colours: a reset says it in the fewest bytes.
  if ((attr & 0xFF) != 0x07) {
    bool fg_changes = from < 0 || fg_code(from) != fg_code(attr);
    bool bg_changes = from < 0 || bg_code(from) != bg_code(attr);
    if (!fg_changes && !bg_changes) fg_changes = bg_changes = true; // no empty reset by mistake
    if (fg_changes) add_number(&s, fg_code(attr));
    if (fg_changes && bg_changes) add_char(&s, ';');
    if (bg_changes) add_number(&s, bg_code(attr));
  }
  add_char(&s, 'm');
  memcpy(out, s.text, s.length);
  return s.length;
}

void render_frame(ScreenBuffer* back, ScreenBuffer* front, bool* front_valid,
                  TerminalState* terminal, FrameBytes* frame) {
  emit_scroll(back, front, terminal, frame);
  bool repaint = false;
  if (!*front_valid) {
    repaint = back->fully_known;
    if (!repaint) screen_blank(front, false);
    *front_valid = true;
  }
  // Drawn with the cursor hidden, which a small frame takes out again at the end.
  const size_t hide_at = frame->length;
  const uint32_t spills = frame->spills;
  if (terminal->traits.hides_cursor) append_text(frame, hide_cursor);
  if (repaint) start_repaint(front, terminal, frame);
  draw_changes(back, front, terminal, frame);
  if (terminal->x != back->cursor_x || terminal->y != back->cursor_y) {
    move_to(back, frame, terminal, back->cursor_x, back->cursor_y);
  }
  if (!terminal->traits.hides_cursor) return;
  const size_t hide_length = sizeof hide_cursor - 1;
  const bool small = frame->spills == spills && !repaint &&
                     frame->length - hide_at - hide_length <= hide_cursor_above_bytes;
  if (small) {
    memmove(frame->data + hide_at, frame->data + hide_at + hide_length,
            frame->length - hide_at - hide_length);
    frame->length -= hide_length;
  } else {
    append_text(frame, show_cursor);
  }
}
