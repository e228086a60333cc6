// Console output on a terminal. An in-memory screen buffer is the truth and is rendered to the
// terminal at each flush point, so the terminal never shows a half-drawn frame. Until the
// program first clears the whole screen, output streams into the terminal as an ordinary
// program's does. Without a controlling terminal the console's text goes to standard error.
#include "platform/posix/screen.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/cp437.h"
#include "platform/platform.h"
#include "platform/posix/process.h"
#include "platform/posix/renderer.h"
#include "platform/posix/signals.h"
#include "platform/posix/terminal.h"
#include "platform/screen_buffer.h"

namespace {

// The character set the user's terminal takes, from the locale the program runs in: the code
// page's glyphs leave as UTF-8, as ISO-8859-1 or as ASCII.
void glyphs_from_locale() {
  static bool chosen = false;
  if (chosen) return;
  chosen = true;
  setlocale(LC_CTYPE, "");
  const char* const codeset = nl_langinfo(CODESET);
  if (strcmp(codeset, "UTF-8") == 0) {
    glyphs_set(GlyphSet::utf8);
  } else {
    glyphs_set(strcmp(codeset, "ISO-8859-1") == 0 ? GlyphSet::latin1 : GlyphSet::ascii);
  }
}

ScreenBuffer back;
ScreenBuffer front;
bool screen_ready = false;
bool front_valid = false;
bool screen_mode = false; // false: streaming, until the program first clears the whole screen
TerminalState shown = {-1, -1, -1, false};
FrameBytes frame;
char title[256] = "";

// A plain stream of the console's text, for standard error without a terminal (cron, a
// service: its mail or log) and for a terminal that cannot place the cursor: UTF-8, with the
// line breaks of a console 80 columns wide (the title bar fills its row without one).
struct PlainStream {
  int fd;
  int column;
};
constexpr int plain_columns = 80;
PlainStream standard_error = {STDERR_FILENO, 0};
PlainStream plain_terminal = {-1, 0};

// xterm keeps a stack of titles: push before setting ours, pop when giving the terminal back.
const char title_push[] = "\x1b[22;0t";

void terminal_size(int* columns, int* rows) {
  winsize size;
  memset(&size, 0, sizeof size);
  const bool known =
      ioctl(terminal.fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0;
  *columns = known ? size.ws_col : 80;
  *rows = known ? size.ws_row : 24;
}

// Standard output is the console when it is this same controlling terminal ("/dev/tty" itself
// has a device number of its own, so the terminals' sessions are compared).
bool is_controlling_terminal(int fd, int terminal_fd) {
  if (!isatty(fd)) return false;
  const pid_t session = tcgetsid(fd);
  return session != -1 && session == tcgetsid(terminal_fd);
}

bool console_screen() {
  if (screen_ready) return true;
  if (!terminal_open()) return false;
  const char* const no_colour = getenv("NO_COLOR");
  renderer_show_colours(no_colour == nullptr || no_colour[0] == '\0');
  terminal.stdout_is_terminal = is_controlling_terminal(STDOUT_FILENO, terminal.fd);
  int columns = 0, rows = 0;
  terminal_size(&columns, &rows);
  screen_init(&back, columns, rows, false);
  screen_init(&front, columns, rows, false);
  glyphs_from_locale();
  back.utf8_text = glyphs_in_use() == GlyphSet::utf8;
  frame.fd = terminal_owned ? terminal.fd : -1;
  plain_terminal.fd = terminal.fd;
  screen_ready = true;
  return true;
}

// Standard output is the console's screen buffer; on a terminal that cannot place the cursor
// it is a stream, as when it goes to a file.
bool stdout_screen() {
  return console_screen() && terminal.stdout_is_terminal && !terminal.plain;
}

void follow_resize() {
  if (!resize_pending) return;
  resize_pending = 0;
  int columns = 0, rows = 0;
  terminal_size(&columns, &rows);
  screen_resize(&back, columns, rows);
  front.width = back.width;
  front.height = back.height;
  front_valid = false;
}

void append_title() {
  if (title[0] == '\0' || terminal.plain) return;
  if (!terminal_title_pushed) frame_append(&frame, title_push, sizeof title_push - 1);
  terminal_title_pushed = 1;
  frame_append(&frame, "\x1b]0;", 4);
  frame_append(&frame, title, strlen(title));
  frame_append(&frame, "\x07", 1);
}

// Frames go to the terminal only while the program owns it; taken again, it is repainted, with
// the title.
void follow_foreground() {
  if (terminal_follow_foreground()) {
    screen_forget_shown();
    frame.fd = terminal.fd;
    append_title();
  }
  if (!terminal_owned) {
    frame.fd = -1;
    front_valid = false;
  }
}

// Streamed text goes out in the current attribute.
void stream_attr() {
  const uint16_t attr = displayed_attr(back.attr);
  if (shown.attr != attr) {
    char sequence[32];
    frame_append(&frame, sequence, sgr_for_attr(attr, shown.attr, sequence));
    shown.attr = attr;
  }
}

// A byte in streaming mode goes out as it is.
void stream_byte(unsigned char byte) {
  stream_attr();
  char glyph[4];
  const bool acts = byte == '\n' || byte == '\r' || byte == '\b' || byte == '\t' || byte == '\a';
  if (acts) {
    frame_append(&frame, reinterpret_cast<const char*>(&byte), 1);
  } else {
    frame_append(&frame, glyph, glyph_bytes_for(byte, glyph));
  }
}

// A UTF-8 character of the text goes out as it came.
void stream_utf8(const char* bytes, size_t size) {
  stream_attr();
  frame_append(&frame, bytes, size);
}

void screen_text(const char* text, size_t length) {
  follow_resize();
  if (screen_mode) {
    screen_write(&back, text, length);
    return;
  }
  const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i < length; ++i) {
    uint32_t code_point = 0;
    const size_t size = back.utf8_text ? utf8_sequence(bytes + i, length - i, &code_point) : 0;
    if (size > 0) {
      screen_write(&back, text + i, size);
      stream_utf8(text + i, size);
      i += size - 1;
      continue;
    }
    screen_write_byte(&back, bytes[i]);
    stream_byte(bytes[i]);
  }
  back.scrolled = 0;
}

// OEM bytes leave as their glyphs in the locale's character set, and UTF-8 characters (in a
// UTF-8 locale) as they are, in chunks given to write_chunk.
template <typename Writer> void write_glyphs(const char* text, size_t length, Writer write_chunk) {
  char chunk[1024];
  size_t used = 0;
  const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i < length; ++i) {
    uint32_t code_point = 0;
    size_t size = 0;
    if (bytes[i] < 0x80) {
      chunk[used++] = static_cast<char>(bytes[i]);
    } else if (glyphs_in_use() == GlyphSet::utf8 &&
               (size = utf8_sequence(bytes + i, length - i, &code_point)) > 0) {
      for (size_t k = 0; k < size; ++k) chunk[used++] = text[i + k];
      i += size - 1;
    } else {
      used += glyph_bytes_for(bytes[i], chunk + used);
    }
    if (used + 4 > sizeof chunk) {
      write_chunk(chunk, used);
      used = 0;
    }
  }
  write_chunk(chunk, used);
}

int write_redirected(const char* text, size_t length) {
  glyphs_from_locale();
  write_glyphs(text, length,
               [](const char* chunk, size_t size) { fwrite(chunk, 1, size, stdout); });
  return ferror(stdout) ? -1 : static_cast<int>(length);
}

bool write_glyphs_to(int fd, const char* text, size_t length) {
  bool failed = false;
  write_glyphs(text, length, [fd, &failed](const char* chunk, size_t size) {
    if (!failed) failed = !write_fully(fd, chunk, size);
  });
  return !failed;
}

size_t write_plain(PlainStream* stream, const char* text, size_t length) {
  glyphs_from_locale();
  size_t start = 0;
  for (size_t i = 0; i < length; ++i) {
    stream->column = text[i] == '\n' || text[i] == '\r' ? 0 : stream->column + 1;
    if (stream->column < plain_columns) continue;
    stream->column = 0;
    if (!write_glyphs_to(stream->fd, text + start, i + 1 - start) ||
        !write_glyphs_to(stream->fd, "\n", 1)) {
      return 0;
    }
    start = i + 1;
  }
  return write_glyphs_to(stream->fd, text + start, length - start) ? length : 0;
}

// On a plain terminal the console's text follows what standard output has written, and only
// the foreground job writes.
size_t write_plain_terminal(const char* text, size_t length) {
  fflush(stdout);
  terminal_follow_foreground();
  if (!terminal_owned) return length;
  write_plain(&plain_terminal, text, length);
  return length;
}

enum class StdoutState { not_asked, open, closed };
StdoutState stdout_state = StdoutState::not_asked;

} // namespace

void flush_screen() {
  if (!screen_ready) {
    terminal_follow_foreground();
    return;
  }
  follow_resize();
  follow_foreground();
  if (launched_output_possible()) front_valid = false;
  if (screen_mode && terminal_owned) render_frame(&back, &front, &front_valid, &shown, &frame);
  frame_spill(&frame);
  if (frame.dropped) {
    frame.dropped = false;
    screen_forget_shown();
  }
}

void flush_all() {
  flush_screen();
  fflush(stdout);
}

void screen_forget_shown() {
  front_valid = false;
  shown = TerminalState{-1, -1, -1, shown.cleared};
}

// --- Console output.

// Only the process itself could close its standard output, and it never does: asked once.
bool plat_stdout_present() {
  if (stdout_state == StdoutState::not_asked) {
    stdout_state = fcntl(STDOUT_FILENO, F_GETFD) != -1 ? StdoutState::open : StdoutState::closed;
  }
  return stdout_state == StdoutState::open;
}

bool plat_screen_info(ScreenInfo* info) {
  if (!stdout_screen()) return false;
  follow_resize();
  info->size_x = static_cast<int16_t>(back.width);
  info->size_y = static_cast<int16_t>(back.height);
  info->cursor_x = static_cast<int16_t>(back.cursor_x);
  info->cursor_y = static_cast<int16_t>(back.cursor_y);
  info->attr = back.attr;
  info->left = 0;
  info->top = 0;
  info->right = static_cast<int16_t>(back.width - 1);
  info->bottom = static_cast<int16_t>(back.height - 1);
  return true;
}

void plat_fill_chars(char ch, uint32_t count, int16_t x, int16_t y) {
  if (!stdout_screen()) return;
  screen_fill_chars(&back, static_cast<unsigned char>(ch), count, x, y);
  if (!screen_mode && back.fully_known) {
    // The program has taken the whole screen: from now on frames are drawn, not streamed.
    screen_mode = true;
    front_valid = false;
  }
}

void plat_fill_attrs(uint16_t attr, uint32_t count, int16_t x, int16_t y) {
  if (stdout_screen()) screen_fill_attrs(&back, attr, count, x, y);
}

void plat_set_cursor(int16_t x, int16_t y) {
  if (stdout_screen()) screen_set_cursor(&back, x, y);
}

void plat_set_attr(uint16_t attr) {
  if (stdout_screen()) back.attr = attr;
}

int plat_stdout_write(const char* text, size_t length) {
  if (!plat_stdout_present()) return -1;
  if (!stdout_screen()) return write_redirected(text, length);
  screen_text(text, length);
  return static_cast<int>(length);
}

bool plat_console_open() {
  return console_screen() || fcntl(STDERR_FILENO, F_GETFD) != -1;
}

size_t plat_console_write(const char* text, size_t length) {
  if (!console_screen()) return write_plain(&standard_error, text, length);
  if (terminal.plain) return write_plain_terminal(text, length);
  screen_text(text, length);
  return length;
}

// --- The window: a terminal has a title, but no window manager to find.

bool plat_set_title(const char* text) {
  if (!console_screen()) return false;
  size_t used = 0;
  for (const char* c = text; *c != '\0' && used + 1 < sizeof title; ++c) {
    if (static_cast<unsigned char>(*c) >= 0x20) title[used++] = *c;
  }
  title[used] = '\0';
  if (terminal_owned) append_title();
  return true;
}

void* plat_find_console_window(const char*) {
  return nullptr;
}
void* plat_load_large_icon(int) {
  return nullptr;
}
void* plat_load_small_icon(int) {
  return nullptr;
}
int32_t plat_send_icon(void*, bool, void*) {
  return 0;
}

// The terminal takes the command's bytes as they are: UTF-8 passes through to it.
void plat_console_text(const char* text, char* out, size_t room) {
  snprintf(out, room, "%s", text);
}
