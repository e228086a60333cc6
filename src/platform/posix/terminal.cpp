// The controlling terminal's modes and its ownership by the foreground process group.
#include "platform/posix/terminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/signals.h"
#include "platform/posix/system.h"
#include "platform/posix/terminal_type.h"

namespace {

struct TerminalDeviceState {
  int fd = -1;
  bool tried = false;
  TerminalType type = {true, false, false, false};
  // A job that a script started with & (SIGINT ignored, standard input not the terminal) shares
  // the foreground with the script: the modes are the user's, and its keys are not ours.
  bool modes_left_alone = false;
  uint32_t input_mode = INPUT_MODE_CONSOLE_DEFAULT;
  termios original{}; // the mode to give back
  termios ours{};
  // Read by the signal handlers.
  volatile sig_atomic_t owned = 0;
  volatile sig_atomic_t title_pushed = 0;
  pid_t own_group = -1; // the program never changes its process group

  // The bytes on their way to the terminal that it has not taken yet: the rest of a write, sent
  // before anything new, so that it never gets part of an escape sequence or of a character.
  // The handlers that give the terminal back send them first; the main flow changes them only
  // with signals held (signals_hold), so that a handler never sees them half updated. The rest
  // of a write is copied into unsent, out of the caller's buffer. Only the flight_length bytes
  // at flight count: unsent needs no starting value (one would put its 64 KiB in the program's
  // file).
  char unsent[terminal_write_room];
  const char* volatile flight = nullptr;
  volatile size_t flight_length = 0;
  // Once the program is ending, writes wait for a terminal that is slow to read for as long as
  // it is open: no time limit may cut a sequence. Another signal to end meanwhile ends at once.
  volatile sig_atomic_t ending = 0;
};
TerminalDeviceState state;

const char restore_sequence[] =
    TERMINAL_RESET_MODES TERMINAL_RESET_SCROLL_KEEPING_CURSOR TERMINAL_RESET_LOOK;
// xterm keeps a stack of titles: ours was pushed over the user's.
const char title_pop[] = "\x1b[23;0t";

// Sends what is in flight; false when the terminal takes no more (for now, or at all). While
// the program ends it waits for the terminal to read, until it does or hangs up.
bool send_flight() {
  while (state.flight_length > 0) {
    signals_hold();
    const ssize_t written = sys_write(state.fd, state.flight, state.flight_length);
    const int error = errno;
    if (written > 0) {
      state.flight += written;
      state.flight_length -= static_cast<size_t>(written);
    }
    signals_release();
    if (written > 0) continue;
    if (written < 0 && error == EINTR) continue;
    if (written == 0 || error != EAGAIN || !state.ending) return false;
    pollfd poll_fd = {state.fd, POLLOUT, 0};
    const int ready = sys_poll(&poll_fd, 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (poll_fd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return false;
  }
  return true;
}

// A mode without echo and canonical input is a program's (another copy's, one that crashed),
// not the user's: what is given back is that mode with line editing and echo on again.
void make_user_mode(termios* mode) {
  if (mode->c_lflag & (ICANON | ECHO)) return;
  mode->c_lflag |= ICANON | ECHO | ISIG;
  mode->c_iflag |= ICRNL | IXON;
}

// Non-canonical and without echo for the whole run, signals as the input mode says, and no
// flow control: Ctrl-S must not stop the program's output, nor Ctrl-Q be needed to go on.
void build_our_mode() {
  state.ours = state.original;
  state.ours.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  if (state.input_mode & INPUT_MODE_PROCESSED) {
    state.ours.c_lflag |= ISIG;
  } else {
    state.ours.c_lflag &= static_cast<tcflag_t>(~ISIG);
  }
  // Enter reads as carriage return, as on the console.
  state.ours.c_iflag &= static_cast<tcflag_t>(~(ICRNL | INLCR | IGNCR | IXON | IXOFF));
  state.ours.c_cc[VMIN] = 1;
  state.ours.c_cc[VTIME] = 0;
}

// Async-signal-safe. False when the terminal refuses it: hung up, or another job's now.
bool set_mode(const termios* mode) {
  for (;;) {
    if (sys_tcsetattr(state.fd, TCSANOW, mode) == 0) return true;
    if (errno != EINTR) return false;
  }
}

// Refused, the terminal is not taken: the next flush point tries again.
void apply_our_mode() {
  if (state.modes_left_alone) {
    state.owned = 1;
    return;
  }
  build_our_mode();
  if (set_mode(&state.ours)) state.owned = 1;
}

bool same_mode(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

bool take_terminal() {
  if (sys_tcgetattr(state.fd, &state.original) != 0) return false;
  make_user_mode(&state.original);
  apply_our_mode();
  return state.owned != 0;
}

// Stopped and continued: a mode that is no longer ours is the one the user set meanwhile, and
// the one to give back; our own mode found as it was means nobody touched the terminal.
bool retake_after_continue() {
  termios now;
  if (state.modes_left_alone || sys_tcgetattr(state.fd, &now) != 0 || same_mode(now, state.ours)) {
    return false;
  }
  state.original = now;
  make_user_mode(&state.original);
  apply_our_mode();
  return true;
}

} // namespace

bool terminal_open() {
  if (state.tried) return state.fd >= 0;
  state.tried = true;
  signals_install_process_wide();
  const int fd = sys_open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  if (sys_tcgetattr(fd, &state.original) != 0) {
    sys_close(fd);
    return false;
  }
  state.fd = fd;
  state.own_group = sys_getpgrp();
  state.type = terminal_type_of(getenv("TERM"), fd);
  state.modes_left_alone = signals_interrupt_ignored() && !sys_isatty(STDIN_FILENO);
  signals_install_terminal(terminal_restore_on_signal);
  sys_atexit(terminal_restore);
  if (terminal_in_foreground()) take_terminal();
  return true;
}

int terminal_fd() {
  return state.fd;
}

bool terminal_is_plain() {
  return state.type.plain;
}

bool terminal_shows_colours() {
  return state.type.colours;
}

bool terminal_has_title() {
  return state.type.title;
}

bool terminal_hides_cursor() {
  return state.type.cursor_visibility;
}

bool terminal_is(int fd) {
  if (state.fd < 0 || !sys_isatty(fd)) return false;
  const pid_t session = sys_tcgetsid(fd);
  return session != -1 && session == sys_tcgetsid(state.fd);
}

void terminal_size(int* columns, int* rows) {
  winsize size;
  memset(&size, 0, sizeof size);
  const bool known =
      sys_ioctl(state.fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0;
  *columns = known ? size.ws_col : 80;
  *rows = known ? size.ws_row : 24;
}

bool terminal_owned() {
  return state.owned != 0;
}

bool terminal_modes_left_alone() {
  return state.modes_left_alone;
}

bool terminal_in_foreground() {
  return state.fd >= 0 && sys_tcgetpgrp(state.fd) == state.own_group;
}

bool terminal_follow_foreground() {
  if (state.fd < 0) return false;
  const bool was_continued = signals_take_continue();
  if (!terminal_in_foreground()) {
    // Sent to the background by a stop we could not see: the shell has the terminal now.
    state.owned = 0;
    return false;
  }
  if (!state.owned) return take_terminal();
  if (was_continued) retake_after_continue();
  // After any continue the screen may have been used by someone else.
  return was_continued;
}

uint32_t terminal_input_mode() {
  return state.input_mode;
}

void terminal_set_input_mode(uint32_t mode) {
  state.input_mode = mode;
  if (state.owned && !state.modes_left_alone && terminal_in_foreground()) apply_our_mode();
}

void terminal_keep_our_mode() {
  if (!state.owned || state.modes_left_alone || !terminal_in_foreground()) return;
  termios now;
  // Refused, it is tried again at the next flush point, while a command may still run.
  if (sys_tcgetattr(state.fd, &now) == 0 && !same_mode(now, state.ours)) set_mode(&state.ours);
}

bool terminal_title_push_due() {
  if (state.title_pushed) return false;
  state.title_pushed = 1;
  return true;
}

bool write_fully(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t written = sys_write(fd, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    length -= static_cast<size_t>(written);
  }
  return true;
}

bool terminal_write(const char* bytes, size_t length) {
  // While the terminal still holds back earlier bytes, new ones are dropped whole.
  if (!send_flight()) return false;
  signals_hold();
  state.flight = bytes;
  state.flight_length = length;
  signals_release();
  if (send_flight()) return true;
  signals_hold();
  // A rest that has no room (a write longer than any frame) is dropped whole: the caller draws
  // again, as after any write the terminal did not take.
  if (state.flight_length > sizeof state.unsent) state.flight_length = 0;
  memcpy(state.unsent, const_cast<const char*>(state.flight), state.flight_length);
  state.flight = state.unsent;
  signals_release();
  return false;
}

void terminal_start_ending() {
  state.ending = 1;
}

namespace {

// The modes as the user had them, and nothing more written. A terminal that refuses them has
// hung up, or is another job's: nothing is left to give them back to.
void give_modes_back() {
  state.owned = 0;
  if (!state.modes_left_alone) set_mode(&state.original);
}

// waits: the rest of what is in flight and the restore reach a terminal slow to read; without
// it (another signal to end while an end waits, or one that came in the middle of a write) no
// more is written, so that what the terminal has is whole up to its last write.
void give_terminal_back(bool waits) {
  if (state.fd < 0 || !state.owned) return;
  // From the background the terminal is the foreground job's: nothing of it is ours to change.
  if (sys_tcgetpgrp(state.fd) != state.own_group) {
    state.owned = 0;
    return;
  }
  if (!waits || signals_held()) {
    give_modes_back();
    return;
  }
  const sig_atomic_t was_ending = state.ending;
  state.ending = 1;
  // What the terminal has not taken yet first; then each sequence whole, or none of it.
  bool sent = send_flight();
  if (sent && !state.type.plain)
    sent = terminal_write(restore_sequence, sizeof restore_sequence - 1);
  if (sent && state.title_pushed) terminal_write(title_pop, sizeof title_pop - 1);
  state.title_pushed = 0;
  give_modes_back();
  state.ending = was_ending;
}

} // namespace

void terminal_restore() {
  give_terminal_back(true);
}

void terminal_restore_on_signal() {
  give_terminal_back(!state.ending);
}

VORBELIN_FRESH_STATE(terminal)
