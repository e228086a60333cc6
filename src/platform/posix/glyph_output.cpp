// Glyphs for the locale's character set, written outside the screen buffer.
#include "platform/posix/glyph_output.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <langinfo.h>

#include "platform/char_width.h"
#include "platform/cp437.h"
#include "platform/posix/system.h"
#include "platform/posix/terminal.h"
#include "platform/screen_buffer.h"

namespace {

constexpr int plain_columns = 80;

struct GlyphOutputState {
  bool redirected_buffered = false; // redirected text may wait in the C library's buffer
};
GlyphOutputState state;

// OEM bytes leave as their glyphs in the locale's character set, and the user's characters
// (UTF-8 inside the program) in that set too, in chunks given to write_chunk. controls_as_glyphs: a
// stream of the console's text, where a control byte (a key's echo: SO would switch a terminal's
// character set) shows as the screen shows it.
template <typename Writer>
void write_glyphs(const char* text, size_t length, bool controls_as_glyphs, Writer write_chunk) {
  char chunk[1024];
  size_t used = 0;
  const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i < length; ++i) {
    uint32_t code_point = 0;
    size_t size = 0;
    const bool control = bytes[i] == 0x7F || (bytes[i] < 0x20 && !screen_byte_acts(bytes[i]));
    if (bytes[i] < 0x80 && !(controls_as_glyphs && control)) {
      chunk[used++] = static_cast<char>(bytes[i]);
    } else if ((size = utf8_sequence(bytes + i, length - i, &code_point)) > 0) {
      const uint32_t points[1] = {code_point};
      used += foreign_glyph_bytes(points, 1, char_width(code_point), chunk + used);
      i += size - 1;
    } else {
      used += glyph_bytes_for(bytes[i], chunk + used);
    }
    if (used + GLYPH_BYTES_MAX > sizeof chunk) {
      write_chunk(chunk, used);
      used = 0;
    }
  }
  write_chunk(chunk, used);
}

bool write_glyphs_to(int fd, const char* text, size_t length) {
  bool failed = false;
  write_glyphs(text, length, true, [fd, &failed](const char* chunk, size_t size) {
    if (!failed)
      failed = !(fd == terminal_fd() ? terminal_write(chunk, size) : write_fully(fd, chunk, size));
  });
  return !failed;
}

} // namespace

void glyphs_from_locale() {
  if (glyphs_chosen()) return;
  setlocale(LC_CTYPE, "");
  const char* const codeset = nl_langinfo(CODESET);
  if (strcmp(codeset, "UTF-8") == 0) {
    glyphs_set(GlyphSet::utf8);
  } else {
    glyphs_set(strcmp(codeset, "ISO-8859-1") == 0 ? GlyphSet::latin1 : GlyphSet::ascii);
  }
}

int write_redirected(const char* text, size_t length) {
  glyphs_from_locale();
  state.redirected_buffered = true;
  write_glyphs(text, length, false,
               [](const char* chunk, size_t size) { fwrite(chunk, 1, size, stdout); });
  return ferror(stdout) ? -1 : static_cast<int>(length);
}

void flush_redirected() {
  if (!state.redirected_buffered) return;
  state.redirected_buffered = false;
  fflush(stdout);
}

// Columns are counted as the screen counts them: a wide character two, one that would straddle
// the last column on the next line, a mark none.
size_t write_plain(PlainStream* stream, const char* text, size_t length) {
  glyphs_from_locale();
  const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
  size_t start = 0;
  for (size_t i = 0; i < length;) {
    uint32_t code_point = 0;
    const size_t utf8_size =
        bytes[i] >= 0xC2 ? utf8_sequence(bytes + i, length - i, &code_point) : 0;
    const size_t size = utf8_size > 0 ? utf8_size : 1;
    const int columns = utf8_size > 0 ? char_width(code_point) : 1;
    if (stream->column + columns > plain_columns) {
      if (!write_glyphs_to(stream->fd, text + start, i - start) ||
          !write_glyphs_to(stream->fd, "\n", 1)) {
        return 0;
      }
      start = i;
      stream->column = 0;
    }
    stream->column = text[i] == '\n' || text[i] == '\r' ? 0 : stream->column + columns;
    i += size;
    if (stream->column < plain_columns) continue;
    stream->column = 0;
    if (!write_glyphs_to(stream->fd, text + start, i - start) ||
        !write_glyphs_to(stream->fd, "\n", 1)) {
      return 0;
    }
    start = i;
  }
  return write_glyphs_to(stream->fd, text + start, length - start) ? length : 0;
}

VORBELIN_FRESH_STATE(glyph_output)
