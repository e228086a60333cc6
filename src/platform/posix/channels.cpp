// The two output channels on POSIX. Standard output that is the controlling terminal feeds the
// console's screen; redirected, it goes to its file as glyphs. The console's own text goes to
// the screen, as lines on a terminal that cannot place the cursor, and to standard error as
// lines without a controlling terminal.
#include <cstring>
#include <cwchar>

#include "platform/cp437.h"
#include "platform/platform.h"
#include "platform/posix/glyph_output.h"
#include "platform/posix/screen.h"
#include "platform/posix/system.h"
#include "platform/posix/terminal.h"
#include "platform/screen_buffer.h"

namespace {

// A character of the locale's own set at text, as a code point: the bytes it took, or 0 when
// they are no character, or one past Unicode (a wchar_t that is no code point).
size_t locale_character(const char* text, size_t length, mbstate_t* state, uint32_t* code_point) {
#ifdef __STDC_ISO_10646__
  wchar_t wide = 0;
  const size_t size = mbrtowc(&wide, text, length, state);
  if (size == 0 || size > length) return 0;
  const uint32_t value = static_cast<uint32_t>(wide);
  if (value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) return 0;
  *code_point = value;
  return size;
#else
  (void)text, (void)length, (void)state, (void)code_point;
  return 0;
#endif
}

enum class StdoutState { not_asked, open, closed };

struct ChannelsState {
  // Each plain stream with the column its line has reached.
  PlainStream standard_error = {STDERR_FILENO, 0};
  PlainStream plain_terminal = {-1, 0};
  StdoutState stdout_state = StdoutState::not_asked;
};
ChannelsState state;

// On a plain terminal the console's text follows what standard output has written, and only
// the foreground job writes.
size_t write_plain_terminal(const char* text, size_t length) {
  flush_redirected();
  terminal_follow_foreground();
  if (!terminal_owned()) return length;
  state.plain_terminal.fd = terminal_fd();
  write_plain(&state.plain_terminal, text, length);
  return length;
}

} // namespace

// Only the process itself could close its standard output, and it never does: asked once.
bool plat_stdout_present() {
  if (state.stdout_state == StdoutState::not_asked) {
    state.stdout_state =
        sys_fcntl(STDOUT_FILENO, F_GETFD, 0) != -1 ? StdoutState::open : StdoutState::closed;
  }
  return state.stdout_state == StdoutState::open;
}

int plat_stdout_write(const char* text, size_t length) {
  if (!plat_stdout_present()) return -1;
  if (!terminal_screen_takes_stdout()) return write_redirected(text, length);
  terminal_screen_text(text, length);
  return static_cast<int>(length);
}

bool plat_console_open() {
  return terminal_screen_open() || sys_fcntl(STDERR_FILENO, F_GETFD, 0) != -1;
}

size_t plat_console_write(const char* text, size_t length) {
  if (!terminal_screen_open()) return write_plain(&state.standard_error, text, length);
  if (terminal_is_plain()) return write_plain_terminal(text, length);
  terminal_screen_text(text, length);
  return length;
}

// The command's characters as they are shown on every path (the screen, a plain terminal,
// standard error, redirected output), decoded in the locale's character set and kept as UTF-8
// until they leave in it again: a control character (carriage return, tab, ESC, DEL, a C1
// control) or a byte that does not decode becomes its code page glyph, as the screen shows ESC,
// and never acts on a terminal.
void plat_console_text(const char* text, char* out, size_t room) {
  glyphs_from_locale();
  const bool utf8 = glyphs_in_use() == GlyphSet::utf8;
  const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
  const size_t length = strlen(text);
  mbstate_t state{};
  size_t used = 0;
  for (size_t i = 0; i < length && used + 4 < room;) {
    uint32_t code_point = bytes[i];
    size_t size = bytes[i] < 0x80 ? 1 : 0;
    if (size == 0 && utf8) {
      size = utf8_sequence(bytes + i, length - i, &code_point);
    } else if (size == 0) {
      size = locale_character(text + i, length - i, &state, &code_point);
    }
    if (size == 0) {
      state = mbstate_t{};
      code_point = cp437_glyph(bytes[i]);
      size = 1;
    } else if (code_point < 0x20 || (code_point >= 0x7F && code_point < 0xA0)) {
      // A C1 control shows as the glyph of the byte of the same value.
      code_point = cp437_glyph(static_cast<unsigned char>(code_point));
    }
    used += utf8_encode(code_point, out + used);
    i += size;
  }
  out[used] = '\0';
}

VORBELIN_FRESH_STATE(channels)
