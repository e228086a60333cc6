// The two output channels on POSIX. Standard output that is the controlling terminal feeds the
// console's screen; redirected, it goes to its file as glyphs. The console's own text goes to
// the screen, as lines on a terminal that cannot place the cursor, and to standard error as
// lines without a controlling terminal.
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/cp437.h"
#include "platform/platform.h"
#include "platform/posix/glyph_output.h"
#include "platform/posix/screen.h"
#include "platform/posix/terminal.h"
#include "platform/screen_buffer.h"

namespace {

PlainStream standard_error = {STDERR_FILENO, 0};
PlainStream plain_terminal = {-1, 0};

// On a plain terminal the console's text follows what standard output has written, and only
// the foreground job writes.
size_t write_plain_terminal(const char* text, size_t length) {
  flush_redirected();
  terminal_follow_foreground();
  if (!terminal_owned()) return length;
  plain_terminal.fd = terminal_fd();
  write_plain(&plain_terminal, text, length);
  return length;
}

enum class StdoutState { not_asked, open, closed };
StdoutState stdout_state = StdoutState::not_asked;

} // namespace

// Only the process itself could close its standard output, and it never does: asked once.
bool plat_stdout_present() {
  if (stdout_state == StdoutState::not_asked) {
    stdout_state = fcntl(STDOUT_FILENO, F_GETFD) != -1 ? StdoutState::open : StdoutState::closed;
  }
  return stdout_state == StdoutState::open;
}

int plat_stdout_write(const char* text, size_t length) {
  if (!plat_stdout_present()) return -1;
  if (!screen_takes_stdout()) return write_redirected(text, length);
  screen_text(text, length);
  return static_cast<int>(length);
}

bool plat_console_open() {
  return screen_open() || fcntl(STDERR_FILENO, F_GETFD) != -1;
}

size_t plat_console_write(const char* text, size_t length) {
  if (!screen_open()) return write_plain(&standard_error, text, length);
  if (terminal_is_plain()) return write_plain_terminal(text, length);
  screen_text(text, length);
  return length;
}

// The command's characters as they are shown on every path (the screen, a plain terminal,
// standard error, redirected output): UTF-8 passes through, while a control character (carriage
// return, tab, ESC, DEL, a C1 control) or a byte that is not UTF-8 becomes its code page glyph
// in one cell, as the screen shows ESC, and never acts on a terminal. Outside a UTF-8 locale the
// bytes from 128 up already leave as glyphs, and a control character shows as '?'.
void plat_console_text(const char* text, char* out, size_t room) {
  glyphs_from_locale();
  const bool utf8 = glyphs_in_use() == GlyphSet::utf8;
  const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
  const size_t length = strlen(text);
  size_t used = 0;
  for (size_t i = 0; i < length && used + 4 < room;) {
    uint32_t code_point = 0;
    const size_t size = utf8 ? utf8_sequence(bytes + i, length - i, &code_point) : 0;
    // A C1 control shows as the glyph of the byte of the same value.
    const unsigned char byte = size > 0 ? static_cast<unsigned char>(code_point) : bytes[i];
    const bool control =
        size > 0 ? code_point < 0xA0 : byte < 0x20 || byte == 0x7F || (utf8 && byte >= 0x80);
    if (!control) {
      const size_t taken = size > 0 ? size : 1;
      memcpy(out + used, text + i, taken);
      used += taken;
    } else if (utf8) {
      used += glyph_bytes_for(byte, out + used);
    } else {
      out[used++] = '?';
    }
    i += size > 0 ? size : 1;
  }
  out[used] = '\0';
}
