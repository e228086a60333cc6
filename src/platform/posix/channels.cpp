// The two output channels on POSIX. Standard output that is the controlling terminal feeds the
// console's screen; redirected, it goes to its file as glyphs. The console's own text goes to
// the screen, as lines on a terminal that cannot place the cursor, and to standard error as
// lines without a controlling terminal.
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/glyph_output.h"
#include "platform/posix/screen.h"
#include "platform/posix/terminal.h"

namespace {

PlainStream standard_error = {STDERR_FILENO, 0};
PlainStream plain_terminal = {-1, 0};

// On a plain terminal the console's text follows what standard output has written, and only
// the foreground job writes.
size_t write_plain_terminal(const char* text, size_t length) {
  fflush(stdout);
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

// The terminal takes the command's bytes as they are: UTF-8 passes through to it.
void plat_console_text(const char* text, char* out, size_t room) {
  snprintf(out, room, "%s", text);
}
