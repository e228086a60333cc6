// The Windows backend's console files, built for the host over a fake console: what reaches the
// console at each primitive and flush, each code page's glyphs, and the text for a file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include <cstdarg>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/cp437.h"
#include "platform/platform.h"
#include "platform/win32/console_text.h"
#include "platform/win32/screen.h"

namespace {

// The console: its screen info, cells and code page, and the calls that changed it, in order.
struct FakeConsole {
  UINT page = 437;
  bool wine = false;
  bool redirected = false; // standard output is no console
  int refusals = 0;        // calls that change the console to fail
  CONSOLE_SCREEN_BUFFER_INFO info = {{20, 6}, {3, 4}, 0x07, {0, 0, 19, 5}, {20, 6}};
  std::vector<CHAR_INFO> cells;
  std::string calls;
};
FakeConsole fake;
const HANDLE out = &fake;

void note(const char* format, va_list args) {
  char line[160];
  vsnprintf(line, sizeof line, format, args);
  fake.calls += (fake.calls.empty() ? "" : "; ") + std::string(line);
}

void note(const char* format, ...) {
  va_list args;
  va_start(args, format);
  note(format, args);
  va_end(args);
}

// A call that changes the console, noted; false when refused.
BOOL changes(HANDLE handle, const char* format, ...) {
  va_list args;
  va_start(args, format);
  note(format, args);
  va_end(args);
  if (fake.refusals-- > 0) fake.calls += " refused";
  return handle == out && fake.refusals < 0;
}

// Printable ASCII as itself, any other character as <hex>, a wide one's halves flagged.
std::string shown(const std::vector<unsigned>& units) {
  std::string s;
  for (const unsigned unit : units) {
    const unsigned ch = unit & 0xFFFF, halves = unit >> 16;
    char hex[16];
    snprintf(hex, sizeof hex, "<%x%s>", ch, halves == 1 ? " L" : halves ? " T" : "");
    s += ch >= 0x20 && ch < 0x7F && !halves ? std::string(1, static_cast<char>(ch)) : hex;
  }
  return s;
}

std::string row_shown(int y) {
  std::vector<unsigned> units;
  for (int x = 0; x < fake.info.dwSize.X; ++x) {
    const CHAR_INFO& cell = fake.cells[y * fake.info.dwSize.X + x];
    units.push_back(cell.Char.UnicodeChar | (cell.Attributes & 0x300) << 8);
  }
  while (!units.empty() && units.back() == ' ') units.pop_back();
  return shown(units);
}

BOOL fill(COORD at, DWORD count, DWORD* written, const std::function<void(CHAR_INFO&)>& put) {
  size_t i = at.Y * fake.info.dwSize.X + at.X;
  for (*written = 0; *written < count && i < fake.cells.size(); ++*written) put(fake.cells[i++]);
  return TRUE;
}

// Code page 857 beside 437: another byte for dotless i, and bytes it leaves undefined (0).
WCHAR page_char(UINT page, unsigned char byte) {
  if (byte < 0x80 || page == 1252) return byte;
  if (page == 857 && (byte == 0xD5 || byte == 0xE7)) return 0;
  if (page == 857 && byte == 0x8D) return 0x131;
  return page == 437 || page == 857 ? cp437_glyph(byte) : 0;
}

intptr_t wine_get_version() {
  return 0;
}

} // namespace

extern "C" {
HANDLE GetStdHandle(DWORD which) {
  return which == STD_OUTPUT_HANDLE ? out : nullptr;
}
UINT GetConsoleOutputCP() {
  return fake.page;
}
UINT GetOEMCP() {
  return 437;
}
BOOL GetCPInfo(UINT page, CPINFO* info) {
  info->MaxCharSize = page == 65001 ? 4 : page == 932 ? 2 : 1;
  return page == 437 || page == 857 || page == 1252 || info->MaxCharSize > 1;
}
int MultiByteToWideChar(UINT page, DWORD, const char* text, int length, WCHAR* wide, int) {
  for (int i = 0; i < length; ++i) {
    if ((wide[i] = page_char(page, static_cast<unsigned char>(text[i]))) == 0) return 0;
  }
  return length;
}
int WideCharToMultiByte(UINT page, DWORD, const WCHAR* wide, int length, char* text, int room,
                        const char*, BOOL*) {
  std::string bytes;
  for (const unsigned unit : std::vector<unsigned>(wide, wide + length)) {
    if (page != 65001 || unit < 0x80)
      bytes += static_cast<char>(unit < 0x100 ? unit : '?');
    else if (unit < 0x800)
      bytes += {char(0xC0 | unit >> 6), char(0x80 | (unit & 0x3F))};
    else
      bytes +=
          {char(0xE0 | unit >> 12), char(0x80 | (unit >> 6 & 0x3F)), char(0x80 | (unit & 0x3F))};
  }
  return static_cast<int>(bytes.copy(text, room));
}
int FoldStringW(DWORD flags, const WCHAR* text, int length, WCHAR* folded, int) {
  memcpy(folded, text, length * sizeof(WCHAR));
  if (flags != MAP_PRECOMPOSED || length != 2 || text[0] != 'a' || text[1] != 0x308) return length;
  return folded[0] = 0xE4, 1;
}
HMODULE GetModuleHandleA(const char* name) {
  return strcmp(name, "ntdll.dll") == 0 ? out : nullptr;
}
FARPROC GetProcAddress(HMODULE module, const char* name) {
  return fake.wine && module == out && strcmp(name, "wine_get_version") == 0 ? &wine_get_version
                                                                             : nullptr;
}
BOOL GetConsoleScreenBufferInfo(HANDLE handle, CONSOLE_SCREEN_BUFFER_INFO* info) {
  note("asked");
  *info = fake.info;
  return handle == out && !fake.redirected;
}
BOOL WriteConsoleA(HANDLE handle, const void* text, DWORD length, DWORD* written, void*) {
  const auto bytes = static_cast<const unsigned char*>(text);
  *written = length;
  return changes(handle, "A:%s", shown({bytes, bytes + length}).c_str());
}
BOOL WriteConsoleW(HANDLE handle, const void* text, DWORD length, DWORD* written, void*) {
  const auto units = static_cast<const WCHAR*>(text);
  *written = length;
  return changes(handle, "W:%s", shown({units, units + length}).c_str());
}
BOOL WriteConsoleOutputW(HANDLE handle, const CHAR_INFO* cells, COORD size, COORD from,
                         SMALL_RECT* rect) {
  const bool sized =
      size.X == rect->Right - rect->Left + 1 && size.Y == rect->Bottom - rect->Top + 1;
  if (!changes(handle, "out %d,%d-%d,%d%s", rect->Left, rect->Top, rect->Right, rect->Bottom,
               sized && from.X == 0 && from.Y == 0 ? "" : " misplaced"))
    return FALSE;
  for (int y = 0; y < size.Y; ++y) {
    for (int x = 0; x < size.X; ++x)
      fake.cells[(rect->Top + y) * fake.info.dwSize.X + rect->Left + x] = cells[y * size.X + x];
  }
  return TRUE;
}
BOOL ReadConsoleOutputA(HANDLE handle, CHAR_INFO* cells, COORD size, COORD, SMALL_RECT* rect) {
  if (!changes(handle, "read %d,%d-%d,%d", rect->Left, rect->Top, rect->Right, rect->Bottom))
    return FALSE;
  for (int y = 0; y < size.Y; ++y) {
    for (int x = 0; x < size.X; ++x) {
      const CHAR_INFO& cell = fake.cells[y * fake.info.dwSize.X + x];
      cells[y * size.X + x].Char.AsciiChar = static_cast<char>(cell.Char.UnicodeChar);
      cells[y * size.X + x].Attributes = cell.Attributes;
    }
  }
  return TRUE;
}
BOOL FillConsoleOutputCharacterA(HANDLE handle, CHAR ch, DWORD count, COORD at, DWORD* written) {
  return changes(handle, "chars '%c' %u @%d,%d", ch, count, at.X, at.Y) &&
         fill(at, count, written, [&](CHAR_INFO& cell) { cell.Char.UnicodeChar = ch; });
}
BOOL FillConsoleOutputAttribute(HANDLE handle, WORD attr, DWORD count, COORD at, DWORD* written) {
  return changes(handle, "attrs %02x %u @%d,%d", attr, count, at.X, at.Y) &&
         fill(at, count, written, [&](CHAR_INFO& cell) { cell.Attributes = attr; });
}
BOOL SetConsoleCursorPosition(HANDLE handle, COORD at) {
  const COORD size = fake.info.dwSize;
  return changes(handle, "cursor %d,%d", at.X, at.Y) && at.X >= 0 && at.Y >= 0 && at.X < size.X &&
         at.Y < size.Y && (fake.info.dwCursorPosition = at, TRUE);
}
BOOL SetConsoleTextAttribute(HANDLE handle, WORD attr) {
  return changes(handle, "color %02x", attr) && (fake.info.wAttributes = attr, TRUE);
}
BOOL SetConsoleWindowInfo(HANDLE handle, BOOL absolute, const SMALL_RECT* window) {
  return changes(handle, "window %d,%d-%d,%d", window->Left, window->Top, window->Right,
                 window->Bottom) &&
         absolute && (fake.info.srWindow = *window, TRUE);
}
}

namespace {

// What the console layer does for a clear: both fills of every cell, then the cursor home.
void clear() {
  ScreenInfo info;
  if (!plat_screen_info(&info)) return;
  const uint32_t cells = info.size_x * info.size_y;
  plat_fill_chars(' ', cells, 0, 0);
  plat_screen_info(&info);
  plat_fill_attrs(info.attr, cells, 0, 0);
  plat_set_cursor(0, 0);
}

// Text as the console channel hands it over: to the frame, else to the console.
void say(const std::string& text) {
  DWORD written = 0;
  if (frame_takes_text(text.data(), text.size())) return;
  if (!write_console(stdout_handle(), text.data(), text.size(), &written)) note("failed");
  if (written != text.size()) note("written %u", written);
}

// A case's steps, apart by '|': the program's (clear, flush, back from a launch, cursor X Y,
// attr A, text T, fill C N X Y, paint A N X Y, sees, file ROOM T, and framed: the first pass
// drawn and handed over, the calls after it the case's), the console's (console W H ROWS,
// page P, wine, refuse, row Y) and another program's (moved X Y, scrolled TOP BOTTOM, resized W
// H, typed X Y C).
void run(const std::string& steps) {
  std::vector<std::string> w;
  std::string step;
  const auto n = [&](size_t i) { return static_cast<int>(strtol(w[i].c_str(), nullptr, 0)); };
  const auto at = [&](size_t i) { return COORD{SHORT(n(i)), SHORT(n(i + 1))}; };
  const std::map<std::string, std::function<void()>> verbs = {
      {"text", [&] { say(step.substr(5)); }},
      {"framed", [] { clear(), flush_frame(), fake.calls.clear(); }},
      {"clear", [] { clear(); }},
      {"flush", [] { flush_frame(); }},
      {"back", [] { take_console_back(); }},
      {"cursor", [&] { plat_set_cursor(at(1).X, at(1).Y); }},
      {"attr", [&] { plat_set_attr(n(1)); }},
      {"fill", [&] { plat_fill_chars(w[1][0], n(2), at(3).X, at(3).Y); }},
      {"paint", [&] { plat_fill_attrs(n(1), n(2), at(3).X, at(3).Y); }},
      {"sees",
       [] {
         ScreenInfo info;
         if (!plat_screen_info(&info)) return note("sees no console");
         note("sees %d,%d %02x", info.cursor_x, info.cursor_y, info.attr);
       }},
      {"file",
       [&] {
         unsigned char bytes[64];
         size_t taken = 0;
         const std::string text = step.substr(step.find(' ', 5) + 1);
         const size_t length =
             text_for_file(text.data(), text.size(), reinterpret_cast<char*>(bytes), n(1), &taken);
         note("file %s %zu", shown({bytes, bytes + length}).c_str(), taken);
       }},
      {"console",
       [&] {
         fake.info.dwSize = fake.info.dwMaximumWindowSize = at(1);
         fake.info.srWindow = {0, 0, SHORT(n(1) - 1), SHORT(n(3) - 1)};
         fake.cells.assign(n(1) * n(2), CHAR_INFO{{u' '}, 0x07});
       }},
      {"page", [&] { fake.page = n(1); }},
      {"wine", [] { fake.wine = true; }},
      {"redirected", [] { fake.redirected = true; }},
      {"refuse", [] { fake.refusals = 1; }},
      {"row", [&] { note("row %s", row_shown(n(1)).c_str()); }},
      {"moved", [&] { fake.info.dwCursorPosition = at(1); }},
      {"scrolled", [&] { fake.info.srWindow.Top = n(1), fake.info.srWindow.Bottom = n(2); }},
      {"resized", [&] { fake.info.dwSize = at(1); }},
      {"typed",
       [&] {
         fake.cells[n(2) * fake.info.dwSize.X + n(1)] = {{WCHAR(w[3][0])}, 0x4F};
       }},
      {"present", [] { note("present %d", plat_stdout_present()); }},
  };
  std::istringstream in(steps);
  while (std::getline(in, step, '|')) {
    std::istringstream words(step);
    w.clear();
    for (std::string word; words >> word;) w.push_back(word);
    verbs.at(w[0])();
  }
}

struct Case {
  const char* name;
  const char* steps;
  const char* calls;
};

// Each case in a process of its own, on a console of 20 by 6 in code page 437 unless it says
// otherwise: these files keep their state for the process, as the program's one run does.
template <size_t count> void expect_cases(const Case (&cases)[count]) {
  for (const Case& c : cases) {
    int link[2];
    ASSERT_EQ(pipe(link), 0);
    fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      run(std::string("console 20 6 6|") + c.steps);
      (void)!write(link[1], fake.calls.data(), fake.calls.size());
      _exit(0);
    }
    close(link[1]);
    std::string calls;
    char part[4096];
    for (ssize_t got; (got = read(link[0], part, sizeof part)) > 0;) calls.append(part, got);
    close(link[0]);
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_EQ(calls, c.calls) << c.name;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.name;
  }
}

TEST(Win32Backend, WhatReachesTheConsole) {
  const Case cases[] = {
      {"before the first clear, a call a primitive",
       "back|attr 0x1f|cursor 2 1|text hi|fill - 5 0 2|sees|flush",
       "color 1f; cursor 2,1; A:hi; chars '-' 5 @0,2; asked; sees 2,1 1f"},
      {"the clear starts the frame; the pass's cells follow", "clear|cursor 5 2|text ab|flush",
       "asked; chars ' ' 120 @0,0; asked; attrs 07 120 @0,0; cursor 0,0; out 5,2-6,2; cursor 7,2"},
      {"a frame starts at the console's cursor, in its attribute",
       "attr 0x1f|sees|fill _ 120 0 0|paint 7 120 0 0|text x|sees|flush",
       "color 1f; asked; sees 3,4 1f; chars '_' 120 @0,0; attrs 07 120 @0,0; sees 4,4 1f; "
       "out 3,4-3,4; cursor 4,4"},
      {"standard output that is no console", "redirected|sees|clear",
       "asked; sees no console; asked"},
      {"a console wider than any copy is never framed", "console 513 2 2|clear|cursor 1 0|text x",
       "asked; chars ' ' 1026 @0,0; asked; attrs 07 1026 @0,0; cursor 0,0; cursor 1,0; A:x"},
      {"the widest copy", "console 512 2 2|clear|cursor 1 0|text x|flush",
       "asked; chars ' ' 1024 @0,0; asked; attrs 07 1024 @0,0; cursor 0,0; out 1,0-1,0; cursor "
       "2,0"},
      {"a pass's whole clear sends the whole window, once",
       "framed|clear|cursor 1 1|text x|flush|flush", "asked; out 0,0-19,5; cursor 2,1"},
      {"the changed cells, then the cursor and attribute once",
       "framed|attr 0x1f|cursor 5 2|text ab|paint 0x4f 3 6 3|flush|sees|cursor 7 2|flush|row 3",
       "out 5,2-8,3; cursor 7,2; color 1f; asked; sees 7,2 1f; row "},
      {"a short window: the rows below it, the window to the cursor",
       "console 20 10 4|framed|cursor 0 4|text z|flush|scrolled 0 3|clear|flush|clear|flush",
       "out 0,4-0,4; window 0,1-19,4; cursor 1,4; asked; out 0,0-19,4; cursor 0,0; asked; "
       "out 0,0-19,3"},
      {"a clear that reaches the console: what it shows below the window",
       "console 20 10 4|framed|cursor 0 8|text z|flush|scrolled 0 3|moved 5 5|clear|flush",
       "out 0,8-0,8; window 0,5-19,8; cursor 1,8; asked; chars ' ' 200 @0,0; attrs 07 200 @0,0; "
       "out 0,0-19,3; cursor 0,0"},
      {"a fill across two rows below the window", "console 20 10 4|framed|paint 0x4f 25 15 6|flush",
       "out 0,6-19,7"},
      {"a clear in another character reaches every row",
       "console 20 10 4|sees|fill _ 200 0 0|paint 7 200 0 0|cursor 0 0|flush|fill _ 200 0 0|"
       "paint 7 200 0 0|flush|fill . 200 0 0|paint 7 200 0 0|flush|fill . 200 0 0|paint 0x1f 200 0 "
       "0|"
       "flush|fill . 200 0 0|paint 0x1f 200 0 0|flush",
       "asked; sees 3,4 07; chars '_' 200 @0,0; attrs 07 200 @0,0; cursor 0,0; out 0,0-19,3; "
       "out 0,0-19,9; out 0,0-19,9; out 0,0-19,3"},
      {"a wide character goes whole",
       "page 65001|framed|cursor 4 1|text \xe4\xb8\xad|flush|paint 0x1f 1 5 1|flush|"
       "paint 0x2f 1 4 1|flush",
       "out 4,1-5,1; cursor 6,1; out 4,1-5,1; out 4,1-5,1"},
      {"a write the console refused goes again",
       "framed|refuse|clear|flush|cursor 2 0|text a|flush",
       "asked; out 0,0-19,5 refused; out 0,0-19,5; cursor 3,0"},
      {"a cursor the console refused goes again", "framed|cursor 3 1|refuse|flush|flush",
       "cursor 3,1 refused; cursor 3,1"},
      {"a fill below the copy: the copy goes first, then the console",
       "console 20 300 6|framed|cursor 1 1|text ab|fill x 3 0 280|cursor 0 0",
       "out 1,1-2,1; cursor 3,1; chars 'x' 3 @0,280; cursor 0,0"},
      {"text past the copy's last row", "console 20 300 6|framed|cursor 0 255|text a\nb",
       "window 0,250-19,255; cursor 0,255; A:a<a>b"},
      {"a window that reaches past the copy",
       "console 20 300 6|framed|scrolled 251 256|clear|flush",
       "asked; out 0,0-19,255; window 0,0-19,5"},
      {"a copy of every row scrolls with the console",
       "console 20 256 6|framed|cursor 0 255|text a\nb|flush",
       "out 0,254-0,255; window 0,250-19,255; cursor 1,255"},
      {"a cursor below the copy", "console 20 300 6|framed|cursor 0 256|cursor 1 1",
       "cursor 0,256; cursor 1,1"},
      {"a cursor past the width", "framed|cursor 20 0|cursor 1 1", "cursor 20,0; cursor 1,1"},
      {"a cursor left of the copy", "framed|cursor -1 0|cursor 1 1", "cursor -1,0; cursor 1,1"},
      {"a resize stops the frame at the next look",
       "framed|cursor 5 2|text ab|flush|resized 30 6|sees|cursor 1 1",
       "out 5,2-6,2; cursor 7,2; asked; sees 7,2 07; cursor 1,1"},
      {"another program moved the cursor: all again, and the clear reaches the console",
       "framed|moved 0 5|sees|cursor 1 1|text x|flush|clear",
       "asked; sees 0,0 07; out 0,0-19,5; cursor 2,1; asked; chars ' ' 120 @0,0; "
       "attrs 07 120 @0,0"},
      {"a cursor another program moved is put back, once",
       "framed|cursor 1 1|flush|moved 0 5|sees|flush|sees|flush",
       "cursor 1,1; asked; sees 1,1 07; out 0,0-19,5; cursor 1,1; asked; sees 1,1 07"},
      {"after a launch the copy is what the console shows",
       "framed|cursor 5 2|text ab|flush|typed 0 3 Z|moved 0 4|back|sees|paint 0x4f 1 0 3|text q|"
       "flush|clear",
       "out 5,2-6,2; cursor 7,2; asked; read 0,0-19,5; sees 0,4 07; out 0,4-0,4; cursor 1,4; "
       "asked; chars ' ' 120 @0,0; attrs 07 120 @0,0"},
      {"a launch that left the cursor below the copy",
       "console 20 300 6|framed|moved 0 280|back|sees", "asked; read 0,0-19,255; sees 0,255 07"},
      {"a launch that resized the console ends the frame", "framed|resized 20 8|back|cursor 1 1",
       "asked; cursor 1,1"},
      {"a launch whose cells cannot be read back ends the frame", "framed|refuse|back|cursor 1 1",
       "asked; read 0,0-19,5 refused; cursor 1,1"},
  };
  expect_cases(cases);
}

TEST(Win32Backend, GlyphsInTheConsolesCodePage) {
  const Case cases[] = {
      {"control bytes", "framed|text \x1b\x1f\x7f\xfe\xb3|flush|row 0",
       "out 0,0-4,0; cursor 5,0; row <2190><25bc><2302><25a0><2502>"},
      {"857", "page 857|framed|text \x8d\xd5\x1b\xfe|flush|row 0",
       "out 0,0-3,0; cursor 4,0; row <131>?<2190><25a0>"},
      {"1252", "page 1252|framed|text \xfe\x8d\xc3\xa9|flush|row 0",
       "out 0,0-2,0; cursor 3,0; row <25a0><ec><e9>"},
      {"UTF-8",
       "page 65001|framed|text \xe4\xb8\xad"
       "a\xcc\x88x\xcc\x81\xf0\x9f\x98\x80\xe6\x96\x87|flush|row 0",
       "out 0,0-7,0; cursor 8,0; row <4e2d L><4e2d T><e4>x? <6587 L><6587 T>"},
      {"wine", "page 65001|wine|framed|text \xe4\xb8\xad|flush|row 0",
       "out 0,0-1,0; cursor 2,0; row <4e2d L><200b T>"},
      {"a new frame's own characters",
       "page 65001|framed|text \xe4\xb8\xad|flush|cursor 20 0|clear|text \xe6\x96\x87|flush|row 0",
       "out 0,0-1,0; cursor 2,0; cursor 20,0; asked; chars ' ' 120 @0,0; asked; attrs 07 120 @0,0; "
       "cursor 0,0; out 0,0-1,0; cursor 2,0; row <6587 L><6587 T>"},
  };
  expect_cases(cases);
}

TEST(Win32Backend, TextForTheConsoleAndForAFile) {
  const Case cases[] = {
      {"437", "present|file 3 \xfe\x1bx\r\n|text \xfe\x1b\r\n",
       "present 1; file <fe><1b>x 3; A:<fe><1b><d><a>"},
      {"CR LF in one piece", "file 3 ab\r\nx", "file ab 2"},
      {"no page", "page 0|file 8 x\xfe|text x\xfe", "file x<fe> 2; A:x<fe>"},
      {"UTF-8", "page 65001|file 64 \xfe\xc3\xa9\xf0\x90\x80\x80|text \xfe\xc3\xa9\xf0\x90\x80\x80",
       "file <e2><96><a0><c3><a9>? 7; W:<25a0><e9>?"},
      {"1252", "page 1252|file 64 \xfe\xc3\xa9\xf0\x90\x80\x80|text \xfe\xc3\xa9\xf0\x90\x80\x80",
       "file ?<e9>? 7; W:<25a0><e9>?"},
      {"UTF-8 CR LF", "page 65001|file 8 a\r\nbcd|text a\r\nbcd", "file a 1; W:a<d><a>bcd"},
      {"a write the console refused", "page 65001|refuse|text ab",
       "W:ab refused; failed; written 0"},
      {"932", "page 932|file 8 \xfe|text \xfe", "file ? 1; W:<25a0>"},
  };
  expect_cases(cases);
}

} // namespace
