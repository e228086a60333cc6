// The console's screen: from the program's first whole clear of the console on, a pass is drawn
// into a copy of the console's top rows in memory and handed to the console at each flush point
// as one rectangle of cells, so the console never shows a half-drawn screen and a pass costs a
// handful of console calls; before it, and for anything the copy cannot hold, each console
// primitive is one or two Win32 calls on the real console.
#include "platform/win32/screen.h"

#include <cstring>

#include "platform/console_frame.h"
#include "platform/cp437.h"
#include "platform/platform.h"
#include "platform/screen_buffer.h"

namespace {

ScreenBuffer back;  // what the program has drawn
ScreenBuffer front; // what the console shows
FrameState frame = {false, false, false, false};
bool info_stale = true; // the console is asked again after each flush: a resize shows there
CONSOLE_SCREEN_BUFFER_INFO console_info;
// The character of the last whole clear: the copy starts as it left the console.
char cleared_char = ' ';
bool window_follows_cursor = false;
// Rows from the top that may hold more than a cleared cell: in the copy since its last whole
// clear, and on the console as the last frame left it. A frame compares no row below both.
int back_rows = 0;
int front_rows = 0;
// What a cell of the copy's last whole clear holds, and whether its characters were just cleared.
unsigned char blank_char = ' ';
uint16_t blank_attr = 0x07;
bool chars_just_cleared = false;
CHAR_INFO frame_cells[SCREEN_MAX_ROWS * SCREEN_MAX_COLUMNS];
// What each byte shows as. Processed output shows a control byte as its glyph (ESC as an
// arrow); a cell written whole would keep the control character itself, which wine's console
// then sends to its terminal as it is.
WCHAR frame_glyphs[256];
// Where the console's cursor stands, as the program last put it or found it.
COORD console_cursor = {0, 0};
// Wine's console sends each cell's character to its terminal, the trailing half of a wide one
// too, where Windows shows the pair as one character: there the trailing half holds a character
// of no width.
bool trailing_zero_width = false;
// The console cell's character of each foreign character of the copy: one UTF-16 unit, the
// character with its marks composed where Unicode has it as one, else the character alone.
WCHAR foreign_glyphs[FOREIGN_MAX];
int foreign_glyphs_known = 0;

// The glyphs follow a code page of one byte a character that has the program's own. On any
// other (UTF-8, a double-byte code page, one whose 0xFE is a letter), where the program's bytes
// are not its glyphs, they show as the code page 437 glyphs they are.
void take_code_page() {
  const UINT page = GetConsoleOutputCP();
  const bool page_bytes = !console_utf8_text();
  for (int byte = 0; byte < 256; ++byte) {
    const char text = static_cast<char>(byte);
    WCHAR glyph = static_cast<WCHAR>(cp437_glyph(static_cast<unsigned char>(byte)));
    if (byte >= 0x20 && byte != 0x7F && page_bytes &&
        MultiByteToWideChar(page, 0, &text, 1, &glyph, 1) != 1) {
      glyph = L'?';
    }
    frame_glyphs[byte] = glyph;
  }
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  trailing_zero_width = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

WCHAR foreign_glyph(unsigned char index) {
  while (foreign_glyphs_known <= index && foreign_glyphs_known < back.foreign_count) {
    const uint32_t* const points = back.foreign[foreign_glyphs_known];
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
    foreign_glyphs[foreign_glyphs_known++] = glyph;
  }
  return foreign_glyphs[index];
}

WCHAR cell_glyph(const ScreenCell& cell) {
  return cell.known == CELL_FOREIGN || cell.known == CELL_WIDE_RIGHT ? foreign_glyph(cell.ch)
                                                                     : frame_glyphs[cell.ch];
}

// A cell of the copy as the console's: the two halves of a wide character flagged as the leading
// and the trailing one, as CHAR_INFO has it; a character past UTF-16's one unit, which a cell
// cannot hold, as '?' and a blank.
CHAR_INFO console_cell(int x, int y) {
  const ScreenCell& cell = screen_row(&back, y)[x];
  const WCHAR glyph = cell_glyph(cell);
  const bool halves = glyph != L'?' || cell.known == CELL_BYTE;
  if (cell.known == CELL_WIDE_RIGHT) {
    if (!halves) return CHAR_INFO{{L' '}, cell.attr};
    return CHAR_INFO{{trailing_zero_width ? L'\x200B' : glyph},
                     static_cast<WORD>(cell.attr | COMMON_LVB_TRAILING_BYTE)};
  }
  if (halves && screen_cell_wide(&back, x, y))
    return CHAR_INFO{{glyph}, static_cast<WORD>(cell.attr | COMMON_LVB_LEADING_BYTE)};
  return CHAR_INFO{{glyph}, cell.attr};
}

void put_console_cursor(int x, int y) {
  const COORD place = {static_cast<SHORT>(x), static_cast<SHORT>(y)};
  if (SetConsoleCursorPosition(stdout_handle(), place)) console_cursor = place;
}

bool ask_console() {
  if (!GetConsoleScreenBufferInfo(stdout_handle(), &console_info)) return false;
  info_stale = false;
  return true;
}

// A fill from the top-left corner over every cell of the console's buffer.
bool whole_clear(uint32_t count, int16_t x, int16_t y) {
  return fill_is_whole_clear(count, x, y, console_info.dwSize.X, console_info.dwSize.Y);
}

void note_drawn_rows(int rows) {
  if (rows > back_rows) back_rows = rows > back.height ? back.height : rows;
  chars_just_cleared = false;
}

// A whole clear of the copy, of its characters or of its attributes: when a clear leaves other
// cells than the last one, every row the console shows differs.
void note_whole_clear(bool characters, uint16_t value) {
  if (characters) {
    if (value != blank_char) front_rows = back.height;
    blank_char = static_cast<unsigned char>(value);
    chars_just_cleared = true;
    return;
  }
  if (value != blank_attr) front_rows = back.height;
  blank_attr = value;
  if (chars_just_cleared) back_rows = 0;
  chars_just_cleared = false;
}

void note_fill(bool characters, uint16_t value, uint32_t count, int16_t x, int16_t y) {
  if (whole_clear(count, x, y)) {
    note_whole_clear(characters, value);
    return;
  }
  const uint64_t last = (static_cast<uint64_t>(y) * back.width + x + count - 1) / back.width;
  note_drawn_rows(last >= static_cast<uint64_t>(back.height) ? back.height
                                                             : static_cast<int>(last) + 1);
}

// The frame's copy starts as the console just cleared: every cell the same.
void start_frame(uint16_t attr) {
  const int rows = console_info.dwSize.Y < SCREEN_MAX_ROWS ? static_cast<int>(console_info.dwSize.Y)
                                                           : static_cast<int>(SCREEN_MAX_ROWS);
  screen_init(&back, console_info.dwSize.X, rows, true);
  screen_fill_chars(&back, static_cast<unsigned char>(cleared_char),
                    SCREEN_MAX_ROWS * SCREEN_MAX_COLUMNS, 0, 0);
  screen_fill_attrs(&back, attr, SCREEN_MAX_ROWS * SCREEN_MAX_COLUMNS, 0, 0);
  back.cursor_x =
      console_info.dwCursorPosition.X < back.width ? console_info.dwCursorPosition.X : 0;
  back.cursor_y =
      console_info.dwCursorPosition.Y < back.height ? console_info.dwCursorPosition.Y : 0;
  back.attr = console_info.wAttributes;
  back.utf8_text = console_utf8_text();
  foreign_glyphs_known = 0;
  console_cursor = console_info.dwCursorPosition;
  front = back;
  blank_char = static_cast<unsigned char>(cleared_char);
  blank_attr = attr;
  back_rows = front_rows = 0;
  chars_just_cleared = false;
  frame.framed = true;
  frame.below_written = false;
  window_follows_cursor = true;
}

// Back to one Win32 call a platform call: the console is given the frame first, and the next
// whole clear frames again.
void stop_framing() {
  flush_frame();
  frame.framed = false;
}

// The fill's plan; when framing stops, the copy is handed to the console first.
FillPlan plan_console_fill(bool characters, uint32_t count, int16_t x, int16_t y) {
  const bool held = copy_holds_fill(&back, count, x, y, console_info.dwSize.Y);
  if (frame.framed && !held) flush_frame();
  return plan_fill(&frame, characters, held, whole_clear(count, x, y),
                   console_info.dwSize.X <= SCREEN_MAX_COLUMNS);
}

} // namespace

UINT console_page() {
  const UINT page = GetConsoleOutputCP();
  return page != 0 ? page : GetOEMCP();
}

bool console_utf8_text() {
  static int utf8 = -1;
  if (utf8 < 0) {
    CPINFO info;
    const UINT page = console_page();
    const char own[2] = {'\xFE', '\xB3'};
    WCHAR shown[2] = {0, 0};
    const bool page_bytes = GetCPInfo(page, &info) && info.MaxCharSize == 1 &&
                            MultiByteToWideChar(page, 0, own, 2, shown, 2) == 2 &&
                            shown[0] == 0x25A0 && shown[1] == 0x2502;
    utf8 = page_bytes ? 0 : 1;
  }
  return utf8 == 1;
}

size_t widen_text(const char* text, size_t length, WCHAR* wide, size_t room, size_t* used) {
  const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  *used = 0;
  while (i < length && *used < room) {
    uint32_t code_point = bytes[i];
    const size_t size = bytes[i] >= 0x80 ? utf8_sequence(bytes + i, length - i, &code_point) : 0;
    if (bytes[i] >= 0x80 && size == 0) code_point = cp437_glyph(bytes[i]);
    wide[(*used)++] = code_point < 0x10000 ? static_cast<WCHAR>(code_point) : L'?';
    i += size > 0 ? size : 1;
  }
  return i;
}

size_t text_for_file(const char* text, size_t length, char* out, size_t room, size_t* taken) {
  static WCHAR wide[1024];
  const bool utf8 = console_utf8_text();
  const size_t most = room / 4 < 1024 ? room / 4 : 1024;
  size_t used = 0;
  *taken = utf8 ? widen_text(text, length, wide, most, &used) : (length < room ? length : room);
  // A line's CR LF stays in one piece: text mode looks at them together.
  if (*taken > 1 && *taken < length && text[*taken - 1] == '\r' && text[*taken] == '\n') {
    --*taken;
    if (utf8) --used;
  }
  if (!utf8) {
    memcpy(out, text, *taken);
    return *taken;
  }
  const int bytes = WideCharToMultiByte(console_page(), 0, wide, static_cast<int>(used), out,
                                        static_cast<int>(room), nullptr, nullptr);
  return bytes > 0 ? static_cast<size_t>(bytes) : 0;
}

// The program never changes its standard handles, so the one it started with is asked for once
// instead of at every console call.
HANDLE stdout_handle() {
  static HANDLE standard_output = nullptr;
  if (standard_output == nullptr) standard_output = GetStdHandle(STD_OUTPUT_HANDLE);
  return standard_output;
}

// Text for the console: as it is on a code page of one byte a character; on any other, wide, with
// UTF-8 characters as themselves and every other byte as its glyph.
bool write_console(HANDLE handle, const char* text, size_t length, DWORD* written) {
  if (!console_utf8_text()) {
    return WriteConsoleA(handle, text, static_cast<DWORD>(length), written, nullptr) != FALSE;
  }
  static WCHAR wide[4096];
  size_t used = 0;
  widen_text(text, length, wide, sizeof wide / sizeof wide[0], &used);
  DWORD taken = 0;
  const bool done = WriteConsoleW(handle, wide, static_cast<DWORD>(used), &taken, nullptr) != FALSE;
  *written = done && taken == used ? static_cast<DWORD>(length) : 0;
  return done;
}

// Whatever the command processor wrote went to the console behind the frame's back: the copy
// takes the console's cells and cursor again, and the next clear reaches every row.
void take_console_back() {
  if (!frame.framed) return;
  const int16_t width = console_info.dwSize.X, height = console_info.dwSize.Y;
  if (!ask_console() || console_info.dwSize.X != width || console_info.dwSize.Y != height) {
    frame.framed = false;
    return;
  }
  SMALL_RECT region = {0, 0, static_cast<SHORT>(back.width - 1),
                       static_cast<SHORT>(back.height - 1)};
  if (!ReadConsoleOutputA(stdout_handle(), frame_cells,
                          COORD{static_cast<SHORT>(back.width), static_cast<SHORT>(back.height)},
                          COORD{0, 0}, &region)) {
    frame.framed = false;
    return;
  }
  for (int y = 0; y < back.height; ++y) {
    for (int x = 0; x < back.width; ++x) {
      const CHAR_INFO& cell = frame_cells[y * back.width + x];
      screen_row(&back, y)[x] =
          ScreenCell{static_cast<unsigned char>(cell.Char.AsciiChar), CELL_BYTE, cell.Attributes};
    }
  }
  const COORD cursor = console_info.dwCursorPosition;
  console_cursor = cursor;
  back.cursor_x = cursor.X < back.width ? cursor.X : back.width - 1;
  back.cursor_y = cursor.Y < back.height ? cursor.Y : back.height - 1;
  back.attr = console_info.wAttributes;
  front = back;
  back_rows = front_rows = back.height;
  frame.below_written = true;
}

// Hands what changed to the console: the rectangle of cells, the cursor, the attribute.
void flush_frame() {
  if (!frame.framed) return;
  // The cells that changed, and after a whole clear the copy as far as the window shows it: on
  // a console of 9,001 rows the rest is nobody's to see, and stays as the console's own clear
  // left it unless something was written there.
  const SMALL_RECT& window = console_info.srWindow;
  const int shown_rows = window.Bottom + 1 < back.height ? window.Bottom + 1 : back.height;
  int compared = back_rows > front_rows ? back_rows : front_rows;
  if (compared < shown_rows) compared = shown_rows;
  CellRect rect = {back.width, back.height, -1, -1};
  const bool changed = frame_changed_rect(&back, &front, compared, &rect);
  if (frame.send_whole)
    rect = {0, 0, back.width - 1,
            changed && rect.bottom >= shown_rows ? rect.bottom : shown_rows - 1};
  // A wide character goes whole, both halves.
  for (int y = rect.top; changed && y <= rect.bottom; ++y) {
    if (rect.left > 0 && screen_row(&back, y)[rect.left].known == CELL_WIDE_RIGHT) --rect.left;
    if (screen_cell_wide(&back, rect.right, y)) ++rect.right;
  }
  if (frame.send_whole || changed) {
    const int width = rect.right - rect.left + 1;
    const int height = rect.bottom - rect.top + 1;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x)
        frame_cells[y * width + x] = console_cell(rect.left + x, rect.top + y);
    }
    SMALL_RECT region = {static_cast<SHORT>(rect.left), static_cast<SHORT>(rect.top),
                         static_cast<SHORT>(rect.right), static_cast<SHORT>(rect.bottom)};
    // Only cells the console took are shown: a write that failed is sent again next time.
    if (WriteConsoleOutputW(stdout_handle(), frame_cells,
                            COORD{static_cast<SHORT>(width), static_cast<SHORT>(height)},
                            COORD{0, 0}, &region)) {
      for (int y = rect.top; y <= rect.bottom; ++y) {
        memcpy(&screen_row(&front, y)[rect.left], &screen_row(&back, y)[rect.left],
               sizeof(ScreenCell) * width);
      }
      frame.send_whole = false;
      front_rows = back_rows;
    }
  }
  // The window shows the top rows, or, on a window shorter than the screen, the rows down to the
  // cursor, where the console's own scrolling would leave it: set only when it is elsewhere (the
  // user scrolled it), so that it does not move each pass.
  const int window_rows = window.Bottom - window.Top + 1;
  const int top = back.cursor_y < window_rows ? 0 : back.cursor_y - window_rows + 1;
  if (window.Top != top) {
    const SMALL_RECT place = {window.Left, static_cast<SHORT>(top), window.Right,
                              static_cast<SHORT>(top + window_rows - 1)};
    SetConsoleWindowInfo(stdout_handle(), TRUE, &place);
  }
  if (back.cursor_x != console_cursor.X || back.cursor_y != console_cursor.Y) {
    put_console_cursor(back.cursor_x, back.cursor_y);
  }
  front.cursor_x = back.cursor_x;
  front.cursor_y = back.cursor_y;
  // The console's own attribute is what others' output (the command processor's) is drawn in.
  if (back.attr != front.attr) {
    SetConsoleTextAttribute(stdout_handle(), back.attr);
    front.attr = back.attr;
  }
  info_stale = true;
}

// Text for the console: into the copy unless it would run past the copy's rows into rows the
// copy does not hold (a copy of every row scrolls as the console does).
bool frame_takes_text(const char* text, size_t length) {
  if (!frame.framed) return false;
  if (back.height == console_info.dwSize.Y || frame_row_after(&back, text, length) < back.height) {
    const uint32_t scrolled = back.scrolled;
    screen_write(&back, text, length);
    note_drawn_rows(back.scrolled != scrolled ? back.height : back.cursor_y + 1);
    return true;
  }
  stop_framing();
  frame.below_written = true;
  return false;
}

bool plat_stdout_present() {
  return stdout_handle() != INVALID_HANDLE_VALUE;
}

bool plat_screen_info(ScreenInfo* info) {
  if (info_stale || !frame.framed) {
    const int16_t width = console_info.dwSize.X, height = console_info.dwSize.Y;
    if (!ask_console()) return false;
    if (frame.framed && (console_info.dwSize.X != width || console_info.dwSize.Y != height))
      stop_framing();
    // The cursor is not where the last frame left it: another program in the console wrote,
    // maybe below the window. The whole frame goes again, and the next whole clear reaches
    // every row of the console.
    const COORD cursor = console_info.dwCursorPosition;
    if (frame.framed && (cursor.X != console_cursor.X || cursor.Y != console_cursor.Y)) {
      frame.below_written = true;
      frame.send_whole = true;
      front_rows = back.height;
    }
  }
  const CONSOLE_SCREEN_BUFFER_INFO& buffer = console_info;
  if (frame.framed) {
    info->cursor_x = static_cast<int16_t>(back.cursor_x);
    info->cursor_y = static_cast<int16_t>(back.cursor_y);
    info->attr = back.attr;
  } else {
    info->cursor_x = buffer.dwCursorPosition.X;
    info->cursor_y = buffer.dwCursorPosition.Y;
    info->attr = buffer.wAttributes;
  }
  info->size_x = buffer.dwSize.X;
  info->size_y = buffer.dwSize.Y;
  info->left = buffer.srWindow.Left;
  info->top = buffer.srWindow.Top;
  info->right = buffer.srWindow.Right;
  info->bottom = buffer.srWindow.Bottom;
  return true;
}

void plat_fill_chars(char ch, uint32_t count, int16_t x, int16_t y) {
  const unsigned char byte = static_cast<unsigned char>(ch);
  const FillPlan plan = plan_console_fill(true, count, x, y);
  if (plan.into_copy) {
    screen_fill_chars(&back, byte, count, x, y);
    note_fill(true, byte, count, x, y);
  }
  if (!plan.into_console) return;
  DWORD written = 0;
  FillConsoleOutputCharacterA(stdout_handle(), ch, count, COORD{x, y}, &written);
  if (frame.framed) screen_fill_chars(&front, byte, count, x, y);
  cleared_char = ch;
}

void plat_fill_attrs(uint16_t attr, uint32_t count, int16_t x, int16_t y) {
  const FillPlan plan = plan_console_fill(false, count, x, y);
  if (plan.into_copy) {
    screen_fill_attrs(&back, attr, count, x, y);
    note_fill(false, attr, count, x, y);
  }
  if (!plan.into_console) return;
  DWORD written = 0;
  FillConsoleOutputAttribute(stdout_handle(), attr, count, COORD{x, y}, &written);
  if (frame.framed) screen_fill_attrs(&front, attr, count, x, y);
  if (plan.start_framing) {
    take_code_page();
    start_frame(attr);
  }
}

void plat_set_cursor(int16_t x, int16_t y) {
  if (frame.framed && x >= 0 && y >= 0 && x < back.width && y < back.height) {
    screen_set_cursor(&back, x, y);
    // The clear's cursor goes to the console at once: it brings the window to the top rows.
    if (window_follows_cursor) {
      put_console_cursor(x, y);
      front.cursor_x = x;
      front.cursor_y = y;
      window_follows_cursor = false;
    }
    return;
  }
  if (frame.framed) stop_framing();
  SetConsoleCursorPosition(stdout_handle(), COORD{x, y});
}

void plat_set_attr(uint16_t attr) {
  if (frame.framed) {
    back.attr = attr;
    return;
  }
  SetConsoleTextAttribute(stdout_handle(), attr);
}
