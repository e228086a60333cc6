// The copy's cells as the console's and back: what each byte of the program's shows as in the
// console's code page (taken as a frame starts), the console character of each foreign character
// (worked out once a frame), the trailing half of a wide character under wine, and the one
// rectangle of cells a flush writes or a launch reads back.
#include "platform/win32/console_cells.h"

#include "platform/cp437.h"
#include "platform/win32/console_text.h"

namespace {

struct ConsoleCellsState {
  // What each byte shows as. Processed output shows a control byte as its glyph (ESC as an
  // arrow); a cell written whole would keep the control character itself, which wine's console
  // then sends to its terminal as it is.
  WCHAR byte_glyphs[256] = {};
  // Wine's console sends each cell's character to its terminal, the trailing half of a wide one
  // too, where Windows shows the pair as one character: there the trailing half holds a
  // character of no width.
  bool trailing_zero_width = false;
  // The console cell's character of each foreign character of the copy: one UTF-16 unit, the
  // character with its marks composed where Unicode has it as one, else the character alone.
  WCHAR foreign_glyphs[FOREIGN_MAX] = {};
  int foreign_glyphs_known = 0;
};
ConsoleCellsState state;

CHAR_INFO cells_scratch[SCREEN_MAX_ROWS * SCREEN_MAX_COLUMNS];

WCHAR foreign_glyph(const ScreenBuffer* copy, unsigned char index) {
  while (state.foreign_glyphs_known <= index && state.foreign_glyphs_known < copy->foreign_count) {
    const uint32_t* const points = copy->foreign[state.foreign_glyphs_known];
    WCHAR units[FOREIGN_POINTS];
    int count = 0;
    while (count < FOREIGN_POINTS && points[count] != 0 && points[count] < 0x10000) {
      units[count] = static_cast<WCHAR>(points[count]);
      ++count;
    }
    WCHAR composed[FOREIGN_POINTS];
    WCHAR glyph = points[0] < 0x10000 ? static_cast<WCHAR>(points[0]) : L'?';
    if (count > 1 && FoldStringW(MAP_PRECOMPOSED, units, count, composed, FOREIGN_POINTS) == 1)
      glyph = composed[0];
    state.foreign_glyphs[state.foreign_glyphs_known++] = glyph;
  }
  return state.foreign_glyphs[index];
}

WCHAR cell_glyph(const ScreenBuffer* copy, const ScreenCell& cell) {
  return cell.kind == CELL_FOREIGN || cell.kind == CELL_WIDE_RIGHT ? foreign_glyph(copy, cell.ch)
                                                                   : state.byte_glyphs[cell.ch];
}

// A cell of the copy as the console's: the two halves of a wide character flagged as the leading
// and the trailing one, as CHAR_INFO has it; a character past UTF-16's one unit, which a cell
// cannot hold, as '?' and a blank.
CHAR_INFO console_cell(const ScreenBuffer* copy, int x, int y) {
  const ScreenCell& cell = screen_row(copy, y)[x];
  const WCHAR glyph = cell_glyph(copy, cell);
  const bool halves = glyph != L'?' || cell.kind == CELL_BYTE;
  if (cell.kind == CELL_WIDE_RIGHT) {
    if (!halves) return CHAR_INFO{{L' '}, cell.attr};
    return CHAR_INFO{{state.trailing_zero_width ? static_cast<WCHAR>(0x200B) : glyph},
                     static_cast<WORD>(cell.attr | COMMON_LVB_TRAILING_BYTE)};
  }
  if (halves && screen_cell_wide(copy, x, y))
    return CHAR_INFO{{glyph}, static_cast<WORD>(cell.attr | COMMON_LVB_LEADING_BYTE)};
  return CHAR_INFO{{glyph}, cell.attr};
}

} // namespace

// The glyphs follow a code page of one byte a character that has the program's own. On any
// other (UTF-8, a double-byte code page, one whose 0xFE is a letter), where the program's bytes
// are not its glyphs, they show as the code page 437 glyphs they are.
void start_cell_glyphs() {
  const UINT page = GetConsoleOutputCP();
  const bool page_bytes = !console_utf8_text();
  for (int byte = 0; byte < 256; ++byte) {
    const char text = static_cast<char>(byte);
    WCHAR glyph = static_cast<WCHAR>(cp437_glyph(static_cast<unsigned char>(byte)));
    if (byte >= 0x20 && byte != 0x7F && page_bytes &&
        MultiByteToWideChar(page, 0, &text, 1, &glyph, 1) != 1) {
      glyph = L'?';
    }
    state.byte_glyphs[byte] = glyph;
  }
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  state.trailing_zero_width =
      ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  state.foreign_glyphs_known = 0;
}

bool write_cells(HANDLE out, const ScreenBuffer* copy, const CellRect& rect) {
  const int width = rect.right - rect.left + 1;
  const int height = rect.bottom - rect.top + 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      cells_scratch[y * width + x] = console_cell(copy, rect.left + x, rect.top + y);
  }
  SMALL_RECT region = {static_cast<SHORT>(rect.left), static_cast<SHORT>(rect.top),
                       static_cast<SHORT>(rect.right), static_cast<SHORT>(rect.bottom)};
  return WriteConsoleOutputW(out, cells_scratch,
                             COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)},
                             COORD{0, 0}, &region) != FALSE;
}

bool read_cells(HANDLE out, ScreenBuffer* copy) {
  SMALL_RECT region = {0, 0, static_cast<SHORT>(copy->width - 1),
                       static_cast<SHORT>(copy->height - 1)};
  if (!ReadConsoleOutputA(out, cells_scratch,
                          COORD{static_cast<SHORT>(copy->width), static_cast<SHORT>(copy->height)},
                          COORD{0, 0}, &region)) {
    return false;
  }
  for (int y = 0; y < copy->height; ++y) {
    for (int x = 0; x < copy->width; ++x) {
      const CHAR_INFO& cell = cells_scratch[y * copy->width + x];
      screen_row(copy, y)[x] =
          ScreenCell{static_cast<unsigned char>(cell.Char.AsciiChar), CELL_BYTE, cell.Attributes};
    }
  }
  return true;
}
