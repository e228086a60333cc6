// The console's output: standard output's handle (asked once), the console's code page, whether
// the program's bytes are that page's own glyphs (asked once), and the program's text in the
// page, for the console and for a file.
#include "platform/win32/console_text.h"

#include <cstring>

#include "platform/cp437.h"
#include "platform/screen_buffer.h"

namespace {

struct ConsoleTextState {
  HANDLE standard_output = nullptr; // until asked
  // Whether the console's code page was asked yet, and whether the program's bytes are not its
  // glyphs there (console_utf8_text).
  bool page_asked = false;
  bool utf8_text = false;
};
ConsoleTextState state;

} // namespace

// The program never changes its standard handles, so the one it started with is asked for once
// instead of at every console call.
HANDLE stdout_handle() {
  if (state.standard_output == nullptr) state.standard_output = GetStdHandle(STD_OUTPUT_HANDLE);
  return state.standard_output;
}

UINT console_page() {
  const UINT page = GetConsoleOutputCP();
  return page != 0 ? page : GetOEMCP();
}

bool console_utf8_text() {
  if (!state.page_asked) {
    CPINFO info;
    const UINT page = console_page();
    const char own[2] = {'\xFE', '\xB3'};
    WCHAR shown[2] = {0, 0};
    const bool page_bytes = GetCPInfo(page, &info) && info.MaxCharSize == 1 &&
                            MultiByteToWideChar(page, 0, own, 2, shown, 2) == 2 &&
                            shown[0] == 0x25A0 && shown[1] == 0x2502;
    state.utf8_text = !page_bytes;
    state.page_asked = true;
  }
  return state.utf8_text;
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
  static WCHAR wide_scratch[1024];
  const bool utf8 = console_utf8_text();
  const size_t most = room / 4 < 1024 ? room / 4 : 1024;
  size_t used = 0;
  *taken =
      utf8 ? widen_text(text, length, wide_scratch, most, &used) : (length < room ? length : room);
  // A line's CR LF stays in one piece: text mode looks at them together.
  if (*taken > 1 && *taken < length && text[*taken - 1] == '\r' && text[*taken] == '\n') {
    --*taken;
    if (utf8) --used;
  }
  if (!utf8) {
    memcpy(out, text, *taken);
    return *taken;
  }
  const int bytes = WideCharToMultiByte(console_page(), 0, wide_scratch, static_cast<int>(used),
                                        out, static_cast<int>(room), nullptr, nullptr);
  return bytes > 0 ? static_cast<size_t>(bytes) : 0;
}

// Text for the console: as it is on a code page of one byte a character; on any other, wide, with
// UTF-8 characters as themselves and every other byte as its glyph.
bool write_console(HANDLE handle, const char* text, size_t length, DWORD* written) {
  if (!console_utf8_text()) {
    return WriteConsoleA(handle, text, static_cast<DWORD>(length), written, nullptr) != FALSE;
  }
  static WCHAR wide_scratch[4096];
  size_t used = 0;
  widen_text(text, length, wide_scratch, sizeof wide_scratch / sizeof wide_scratch[0], &used);
  DWORD taken = 0;
  const bool done =
      WriteConsoleW(handle, wide_scratch, static_cast<DWORD>(used), &taken, nullptr) != FALSE;
  *written = done && taken == used ? static_cast<DWORD>(length) : 0;
  return done;
}
