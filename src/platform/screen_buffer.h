// An in-memory console screen buffer: cells of a byte or a foreign character, each with its kind
// and attribute, a cursor and the current attribute, written the way the Win32 console writes
// processed output. A cell is a column. With utf8_text a well-formed UTF-8 character in the text
// (a command as the user typed it) takes the columns it takes on a terminal: a wide one two
// cells, a combining or zero-width one none (it joins the character before it), any other one;
// the program's own text is single bytes of its code page. The POSIX backend renders it to the
// terminal; the simulated backend lets tests read it.
#pragma once

#include <cstddef>
#include <cstdint>

enum : int { SCREEN_MAX_COLUMNS = 512, SCREEN_MAX_ROWS = 256 };

// What a cell holds.
enum CellKind : uint8_t {
  CELL_UNKNOWN = 0,    // whatever the terminal showed before the program wrote there
  CELL_BYTE = 1,       // ch is a byte of the program's code page
  CELL_FOREIGN = 2,    // ch indexes the screen's foreign characters
  CELL_WIDE_RIGHT = 3, // the right half of the wide foreign character in the cell before it
};

// A foreign character with the marks that joined it, as code points, 0 after the last; marks
// past the room are dropped.
enum : int { FOREIGN_MAX = 256, FOREIGN_POINTS = 4 };

struct ScreenCell {
  unsigned char ch;
  CellKind kind;
  uint16_t attr;
};
// Rows are compared and filled as plain bytes; a fill of characters stores the fields before
// the attribute.
static_assert(sizeof(ScreenCell) == 4, "a cell is four bytes without padding");
static_assert(offsetof(ScreenCell, attr) == sizeof(ScreenCell) - sizeof(uint16_t), "attr last");

struct ScreenBuffer {
  int width, height;
  int cursor_x, cursor_y;
  uint16_t attr;
  uint32_t scrolled; // rows scrolled off the top since the renderer last looked
  bool fully_known;  // every cell has been written or filled by the program
  bool utf8_text;    // well-formed UTF-8 characters in the text are characters of their own
  int foreign_count;
  int last_put; // the cell of the last character written, which a mark that follows joins; -1

  // The rows lie end to end, each as wide as the buffer (screen_row).
  ScreenCell cells[SCREEN_MAX_ROWS * SCREEN_MAX_COLUMNS];
  uint32_t foreign[FOREIGN_MAX][FOREIGN_POINTS]; // of the foreign cells, never reused for another
};

inline ScreenCell* screen_row(ScreenBuffer* screen, int y) {
  return screen->cells + y * screen->width;
}
inline const ScreenCell* screen_row(const ScreenBuffer* screen, int y) {
  return screen->cells + y * screen->width;
}

// The length of a well-formed UTF-8 character of two to four bytes at the start of text, with
// its code point; 0 when text does not start with one.
size_t utf8_sequence(const unsigned char* text, size_t length, uint32_t* code_point);
// The one rule for UTF-8, for the screen and the keys alike: a character (its size and code
// point), the start of one that the end of text cuts short, or bytes that start none.
enum class Utf8Result { character, cut_short, invalid };
Utf8Result utf8_character(const unsigned char* text, size_t length, uint32_t* code_point,
                          size_t* size);

// Sizes are clamped to 1..SCREEN_MAX_*. Every cell becomes unknown, or a known blank.
void screen_init(ScreenBuffer* screen, int width, int height, bool known);
// Every cell a blank in the normal colours, known or unknown.
void screen_blank(ScreenBuffer* screen, bool known);
// Keeps the top-left content that still fits; new cells are known blanks when the buffer was
// fully known, else unknown.
void screen_resize(ScreenBuffer* screen, int width, int height);
// The cell x of row y is the left half of a wide character.
inline bool screen_cell_wide(const ScreenBuffer* screen, int x, int y) {
  return x + 1 < screen->width && screen_row(screen, y)[x + 1].kind == CELL_WIDE_RIGHT;
}

// Line feed, carriage return, backspace, tab and bell act on a console: they move the cursor or
// do nothing. Every other byte, control bytes included, shows as its glyph.
inline bool screen_byte_acts(unsigned char byte) {
  return byte < 0x20 && ((1u << byte) & ((1u << '\n') | (1u << '\r') | (1u << '\b') | (1u << '\t') |
                                         (1u << '\a'))) != 0;
}

// The cursor as text moves it, its rows counted on past the last: where the next cell goes, and
// whether a mark there joins the character put last.
struct TextCursor {
  int x, y;
  bool joins;
};

// The next piece of text at a cursor: a byte that acts, a run of bytes shown as glyphs, a
// character or a mark. It puts blanks first, from the cursor along its row (a tab's, those of a
// wide character that would straddle the last column, the one a mark with nothing to join
// stands on), then its own cells on one row.
enum class PieceKind : uint8_t { move, bytes, character, mark };
struct TextPiece {
  PieceKind kind;
  unsigned char byte; // a move's
  int blanks;
  int columns;         // its own cells: a run's length, a character's 1 or 2
  size_t size;         // the bytes of text it takes
  uint32_t code_point; // a character's or a mark's
};

// The one rule for where text goes: the buffer writes by these two, and a prediction of where a
// text ends (the console frame's) follows them.
TextPiece screen_text_piece(const ScreenBuffer* screen, const TextCursor& cursor,
                            const unsigned char* text, size_t length);
// Moves the cursor over a piece in a buffer of that width; gives where the piece's own cells
// begin.
TextCursor screen_cursor_over(int width, TextCursor* cursor, const TextPiece& piece);

// One byte of processed output at the cursor: the bytes that act move it, others are shown.
void screen_write_byte(ScreenBuffer* screen, unsigned char byte);
void screen_write(ScreenBuffer* screen, const char* text, size_t length);
// Fill from (x, y) onwards in reading order, up to the end of the buffer; returns cells filled.
uint32_t screen_fill_chars(ScreenBuffer* screen, unsigned char ch, uint32_t count, int x, int y);
uint32_t screen_fill_attrs(ScreenBuffer* screen, uint16_t attr, uint32_t count, int x, int y);
// Refuses a position outside the buffer.
bool screen_set_cursor(ScreenBuffer* screen, int x, int y);
// Shifts every row up by count, as a terminal scrolls, with known blank rows at the bottom.
void screen_scroll_up(ScreenBuffer* screen, int count, uint16_t attr);
