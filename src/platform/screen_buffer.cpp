// Processed console output into a cell buffer.
#include "platform/screen_buffer.h"

#include <cstring>

#include "platform/char_width.h"
#include "platform/cp437.h"

namespace {

int clamp(int value, int low, int high) {
  return value < low ? low : (value > high ? high : value);
}

void advance_line(ScreenBuffer* screen) {
  screen->cursor_x = 0;
  if (++screen->cursor_y < screen->height) return;
  // Writing past the last row scrolls the buffer, as the console does.
  screen->cursor_y = screen->height - 1;
  screen_scroll_up(screen, 1, screen->attr);
  ++screen->scrolled;
}

// Cells from..to of a row are about to be written: a wide character they cut in two leaves a
// blank in its other half, as on a terminal.
void split_wide_edges(ScreenBuffer* screen, int y, int from, int to) {
  ScreenCell* const row = screen_row(screen, y);
  if (from > 0 && row[from].kind == CELL_WIDE_RIGHT)
    row[from - 1] = {' ', CELL_BYTE, row[from - 1].attr};
  if (to < screen->width && row[to].kind == CELL_WIDE_RIGHT)
    row[to] = {' ', CELL_BYTE, row[to].attr};
}

// Cells x.. of the cursor's row: a run of bytes shown as their glyphs, or blanks.
void put_run(ScreenBuffer* screen, int x, const unsigned char* bytes, int count) {
  const int y = screen->cursor_y;
  split_wide_edges(screen, y, x, x + count);
  ScreenCell* const row = screen_row(screen, y);
  for (int i = 0; i < count; ++i)
    row[x + i] = ScreenCell{bytes != nullptr ? bytes[i] : static_cast<unsigned char>(' '),
                            CELL_BYTE, screen->attr};
  screen->last_put = y * screen->width + x + count - 1;
}

// The foreign character's index, added when new; -1 when the table is full.
int foreign_index(ScreenBuffer* screen, const uint32_t (&points)[FOREIGN_POINTS]) {
  for (int i = 0; i < screen->foreign_count; ++i) {
    if (memcmp(screen->foreign[i], points, sizeof points) == 0) return i;
  }
  if (screen->foreign_count == FOREIGN_MAX) return -1;
  memcpy(screen->foreign[screen->foreign_count], points, sizeof points);
  return screen->foreign_count++;
}

// A character in its cells at the cursor. One the table has no room for, or a wide one in a
// buffer one column wide, shows as stand-ins in the same cells: where text ends never depends
// on the characters shown before it.
void put_character(ScreenBuffer* screen, const TextPiece& piece) {
  const uint32_t points[FOREIGN_POINTS] = {piece.code_point};
  const int index =
      char_width(piece.code_point) == piece.columns ? foreign_index(screen, points) : -1;
  const int x = screen->cursor_x, y = screen->cursor_y;
  if (index < 0) {
    const unsigned char stand_ins[2] = {'?', '?'};
    put_run(screen, x, stand_ins, piece.columns);
    return;
  }
  split_wide_edges(screen, y, x, x + piece.columns);
  ScreenCell* const row = screen_row(screen, y);
  const auto ch = static_cast<unsigned char>(index);
  row[x] = ScreenCell{ch, CELL_FOREIGN, screen->attr};
  if (piece.columns == 2) row[x + 1] = ScreenCell{ch, CELL_WIDE_RIGHT, screen->attr};
  screen->last_put = y * screen->width + x;
}

// A mark joins the character written last (a blank, when there was none); it is dropped when
// that character has no room left for it.
void put_mark(ScreenBuffer* screen, uint32_t mark) {
  ScreenCell* const cell = &screen->cells[screen->last_put];
  uint32_t points[FOREIGN_POINTS] = {};
  if (cell->kind == CELL_FOREIGN) {
    memcpy(points, screen->foreign[cell->ch], sizeof points);
  } else {
    points[0] = cp437_glyph(cell->ch);
  }
  int used = 1;
  while (used < FOREIGN_POINTS && points[used] != 0) ++used;
  if (used == FOREIGN_POINTS) return;
  points[used] = mark;
  const int index = foreign_index(screen, points);
  if (index < 0) return;
  const int x = screen->last_put % screen->width, y = screen->last_put / screen->width;
  if (screen_cell_wide(screen, x, y)) cell[1].ch = static_cast<unsigned char>(index);
  cell->ch = static_cast<unsigned char>(index);
  cell->kind = CELL_FOREIGN;
}

// A piece of text into the cells, the cursor moved as screen_cursor_over moves it; a row past
// the last scrolls the buffer.
void put_piece(ScreenBuffer* screen, const unsigned char* text, const TextPiece& piece) {
  TextCursor cursor = {screen->cursor_x, 0, screen->last_put >= 0};
  const TextCursor start = screen_cursor_over(screen->width, &cursor, piece);
  if (piece.blanks > 0) put_run(screen, screen->cursor_x, nullptr, piece.blanks);
  if (start.y > 0) advance_line(screen);
  screen->cursor_x = start.x;
  switch (piece.kind) {
  case PieceKind::bytes: put_run(screen, start.x, text, piece.columns); break;
  case PieceKind::character: put_character(screen, piece); break;
  case PieceKind::mark: put_mark(screen, piece.code_point); break;
  case PieceKind::move: screen->last_put = -1; break; // a mark after it has nothing to join
  }
  if (cursor.y > start.y) advance_line(screen);
  screen->cursor_x = cursor.x;
}

} // namespace

size_t utf8_sequence(const unsigned char* text, size_t length, uint32_t* code_point) {
  size_t size = 0;
  return utf8_character(text, length, code_point, &size) == Utf8Result::character ? size : 0;
}

Utf8Result utf8_character(const unsigned char* text, size_t length, uint32_t* code_point,
                          size_t* size) {
  *size = 0;
  if (length == 0) return Utf8Result::cut_short;
  const unsigned char lead = text[0];
  const size_t need = lead >= 0xF0 ? 4 : (lead >= 0xE0 ? 3 : (lead >= 0xC2 ? 2 : 0));
  if (need == 0 || lead > 0xF4) return Utf8Result::invalid;
  // The second byte's range rules out overlong forms, surrogates and values past the last code
  // point, so that a prefix is known good or bad before the rest arrives.
  const unsigned char low = lead == 0xE0 ? 0xA0 : (lead == 0xF0 ? 0x90 : 0x80);
  const unsigned char high = lead == 0xED ? 0x9F : (lead == 0xF4 ? 0x8F : 0xBF);
  uint32_t value = lead & (0x7Fu >> need);
  for (size_t i = 1; i < need; ++i) {
    if (i >= length) return Utf8Result::cut_short;
    const unsigned char byte = text[i];
    if (i == 1 ? (byte < low || byte > high) : (byte & 0xC0) != 0x80) return Utf8Result::invalid;
    value = (value << 6) | (byte & 0x3Fu);
  }
  *code_point = value;
  *size = need;
  return Utf8Result::character;
}

void screen_init(ScreenBuffer* screen, int width, int height, bool known) {
  screen->width = clamp(width, 1, SCREEN_MAX_COLUMNS);
  screen->height = clamp(height, 1, SCREEN_MAX_ROWS);
  screen->cursor_x = 0;
  screen->cursor_y = 0;
  screen->attr = 0x07;
  screen->scrolled = 0;
  screen->fully_known = known;
  screen->utf8_text = false;
  screen->foreign_count = 0;
  screen->last_put = -1;
  screen_blank(screen, known);
}

void screen_blank(ScreenBuffer* screen, bool known) {
  const int cells = screen->width * screen->height;
  for (int i = 0; i < cells; ++i)
    screen->cells[i] = ScreenCell{' ', known ? CELL_BYTE : CELL_UNKNOWN, 0x07};
}

void screen_resize(ScreenBuffer* screen, int width, int height) {
  const int new_width = clamp(width, 1, SCREEN_MAX_COLUMNS);
  const int new_height = clamp(height, 1, SCREEN_MAX_ROWS);
  const ScreenCell fresh{' ', screen->fully_known ? CELL_BYTE : CELL_UNKNOWN, 0x07};
  // The rows move to their places at the new width: a wider buffer's from the bottom up, a
  // narrower one's from the top down, so that no row is overwritten before it has moved.
  const int kept_rows = screen->height < new_height ? screen->height : new_height;
  const int kept_columns = screen->width < new_width ? screen->width : new_width;
  for (int i = 0; i < new_height; ++i) {
    const int y = new_width > screen->width ? new_height - 1 - i : i;
    ScreenCell* const row = screen->cells + y * new_width;
    const int kept = y < kept_rows ? kept_columns : 0;
    // A wide character the new edge cuts leaves its left half blank.
    const bool cut =
        kept > 0 && kept < screen->width && screen_row(screen, y)[kept].kind == CELL_WIDE_RIGHT;
    if (kept > 0) memmove(row, screen_row(screen, y), sizeof(ScreenCell) * kept);
    if (cut) row[kept - 1] = ScreenCell{' ', CELL_BYTE, row[kept - 1].attr};
    for (int x = kept; x < new_width; ++x) row[x] = fresh;
  }
  screen->width = new_width;
  screen->height = new_height;
  screen->cursor_x = clamp(screen->cursor_x, 0, new_width - 1);
  screen->cursor_y = clamp(screen->cursor_y, 0, new_height - 1);
  screen->last_put = -1;
}

TextPiece screen_text_piece(const ScreenBuffer* screen, const TextCursor& cursor,
                            const unsigned char* text, size_t length) {
  const int width = screen->width;
  const unsigned char lead = text[0];
  if (screen_byte_acts(lead)) {
    // A tab's blanks reach the next multiple of 8, or the end of the row.
    const int to_stop = 8 - cursor.x % 8, to_end = width - cursor.x;
    const int blanks = lead == '\t' ? (to_stop < to_end ? to_stop : to_end) : 0;
    return TextPiece{PieceKind::move, lead, blanks, 0, 1, 0};
  }
  if (screen->utf8_text && lead >= 0xC2) {
    uint32_t code_point = 0;
    const size_t size = utf8_sequence(text, length, &code_point);
    if (size > 0) {
      // A C1 control never reaches a terminal as itself: the glyph of the byte of the same value.
      if (code_point < 0xA0) code_point = cp437_glyph(static_cast<unsigned char>(code_point));
      const int columns = char_width(code_point);
      if (columns == 0) {
        return TextPiece{PieceKind::mark, 0, cursor.joins ? 0 : 1, 0, size, code_point};
      }
      const int cells = columns < width ? columns : width;
      const int blanks = cells == 2 && cursor.x + 1 >= width ? 1 : 0;
      return TextPiece{PieceKind::character, 0, blanks, cells, size, code_point};
    }
  }
  const size_t room = static_cast<size_t>(width - cursor.x);
  size_t size = 1;
  while (size < length && size < room && !screen_byte_acts(text[size]) &&
         !(screen->utf8_text && text[size] >= 0xC2))
    ++size;
  return TextPiece{PieceKind::bytes, 0, 0, static_cast<int>(size), size, 0};
}

namespace {

// The last column moves the cursor straight on to the next row.
void wrap_at_edge(int width, TextCursor* cursor) {
  if (cursor->x < width) return;
  cursor->x = 0;
  ++cursor->y;
}

} // namespace

TextCursor screen_cursor_over(int width, TextCursor* cursor, const TextPiece& piece) {
  if (piece.kind == PieceKind::move) {
    switch (piece.byte) {
    case '\n': cursor->x = 0, ++cursor->y; break;
    case '\r': cursor->x = 0; break;
    case '\b': cursor->x -= cursor->x > 0 ? 1 : 0; break;
    default: break; // a tab moves by its blanks; the bell not at all
    }
  }
  cursor->x += piece.blanks;
  wrap_at_edge(width, cursor);
  const TextCursor start = *cursor;
  cursor->x += piece.columns;
  wrap_at_edge(width, cursor);
  cursor->joins = piece.kind != PieceKind::move;
  return start;
}

void screen_write_byte(ScreenBuffer* screen, unsigned char byte) {
  put_piece(screen, &byte,
            screen_text_piece(screen,
                              TextCursor{screen->cursor_x, screen->cursor_y, screen->last_put >= 0},
                              &byte, 1));
}

void screen_write(ScreenBuffer* screen, const char* text, size_t length) {
  const unsigned char* byte = reinterpret_cast<const unsigned char*>(text);
  const unsigned char* const end = byte + length;
  while (byte < end) {
    const TextCursor cursor = {screen->cursor_x, screen->cursor_y, screen->last_put >= 0};
    const TextPiece piece =
        screen_text_piece(screen, cursor, byte, static_cast<size_t>(end - byte));
    put_piece(screen, byte, piece);
    byte += piece.size;
  }
}

namespace {

// The rows lie end to end, so a fill in reading order is one span of cells: a status screen
// clears the whole buffer on every pass.
template <typename Fill>
uint32_t fill_cells(ScreenBuffer* screen, uint32_t count, int x, int y, Fill fill) {
  if (x < 0 || y < 0 || x >= screen->width || y >= screen->height) return 0;
  const uint32_t room = static_cast<uint32_t>(screen->width * (screen->height - y) - x);
  const uint32_t span = count < room ? count : room;
  ScreenCell* const first = &screen_row(screen, y)[x];
  fill(first, span);
  screen->last_put = -1;
  return span;
}

} // namespace

uint32_t screen_fill_chars(ScreenBuffer* screen, unsigned char ch, uint32_t count, int x, int y) {
  // A wide character the fill cuts at either end leaves its other half blank.
  const int start =
      x >= 0 && y >= 0 && x < screen->width && y < screen->height ? y * screen->width + x : -1;
  ScreenCell* const cells = screen->cells;
  if (start > 0 && cells[start].kind == CELL_WIDE_RIGHT)
    cells[start - 1] = {' ', CELL_BYTE, cells[start - 1].attr};
  const uint32_t filled = fill_cells(screen, count, x, y, [ch](ScreenCell* cells, uint32_t span) {
    // Every field before the attribute, in one store a cell.
    const ScreenCell stamp = {ch, CELL_BYTE, 0};
    for (uint32_t i = 0; i < span; ++i) memcpy(&cells[i], &stamp, offsetof(ScreenCell, attr));
  });
  const uint32_t all = static_cast<uint32_t>(screen->width) * static_cast<uint32_t>(screen->height);
  if (start >= 0 && start + filled < all && cells[start + filled].kind == CELL_WIDE_RIGHT)
    cells[start + filled] = {' ', CELL_BYTE, cells[start + filled].attr};
  if (x == 0 && y == 0 && filled == all) screen->fully_known = true;
  return filled;
}

uint32_t screen_fill_attrs(ScreenBuffer* screen, uint16_t attr, uint32_t count, int x, int y) {
  return fill_cells(screen, count, x, y, [attr](ScreenCell* cells, uint32_t span) {
    for (uint32_t i = 0; i < span; ++i) cells[i].attr = attr;
  });
}

bool screen_set_cursor(ScreenBuffer* screen, int x, int y) {
  if (x < 0 || y < 0 || x >= screen->width || y >= screen->height) return false;
  screen->cursor_x = x;
  screen->cursor_y = y;
  screen->last_put = -1;
  return true;
}

void screen_scroll_up(ScreenBuffer* screen, int count, uint16_t attr) {
  if (count <= 0) return;
  if (count > screen->height) count = screen->height;
  const int kept = screen->width * (screen->height - count);
  memmove(screen->cells, screen_row(screen, count), sizeof(ScreenCell) * kept);
  const int cells = screen->width * screen->height;
  for (int i = kept; i < cells; ++i) screen->cells[i] = ScreenCell{' ', CELL_BYTE, attr};
  if (screen->last_put >= 0) screen->last_put -= screen->width * count;
  if (screen->last_put < 0) screen->last_put = -1;
}
