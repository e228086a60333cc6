// The POSIX backend: the controlling terminal plays the console. An in-memory screen buffer is
// the truth and is rendered to the terminal at each flush point (before a sleep, before a
// blocking key wait, before a launch and at exit), so the terminal never shows a half-drawn
// frame. Until the program first clears the whole screen, output streams into the terminal as
// an ordinary program's does.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/cp437.h"
#include "platform/posix/key_decoder.h"
#include "platform/posix/renderer.h"
#include "platform/screen_buffer.h"

namespace {

// --- The terminal and its modes.

struct Terminal {
  int fd = -1; // the controlling terminal, or -1 when there is none
  bool tried = false;
  bool stdout_is_terminal = false;
  termios original{}; // the mode to give back
  termios ours{};
};

Terminal terminal;
volatile sig_atomic_t mode_taken = 0;
volatile sig_atomic_t title_pushed = 0;
volatile sig_atomic_t resize_pending = 0;
volatile sig_atomic_t repaint_pending = 0;

// xterm keeps a stack of titles: push before setting ours, pop on the way out.
const char title_push[] = "\x1b[22;0t";
const char restore_sequence[] = "\x1b[0m\x1b[?25h";
const char title_pop[] = "\x1b[23;0t";

void write_all(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    bytes += written;
    length -= static_cast<size_t>(written);
  }
}

// Async-signal-safe: only write and tcsetattr.
void restore_terminal() {
  if (terminal.fd < 0 || !mode_taken) return;
  write_all(terminal.fd, restore_sequence, sizeof restore_sequence - 1);
  if (title_pushed) write_all(terminal.fd, title_pop, sizeof title_pop - 1);
  tcsetattr(terminal.fd, TCSANOW, &terminal.original);
  mode_taken = 0;
}

uint32_t input_mode = 0x1F7; // as the console starts: processed, line and echo input

// Non-canonical and without echo for the whole run; signals follow the input mode.
void take_mode() {
  terminal.ours = terminal.original;
  terminal.ours.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  if (input_mode & INPUT_MODE_PROCESSED) {
    terminal.ours.c_lflag |= ISIG;
  } else {
    terminal.ours.c_lflag &= static_cast<tcflag_t>(~ISIG);
  }
  // Enter reads as carriage return, as on the console.
  terminal.ours.c_iflag &= static_cast<tcflag_t>(~(ICRNL | INLCR | IGNCR));
  terminal.ours.c_cc[VMIN] = 1;
  terminal.ours.c_cc[VTIME] = 0;
  if (tcsetattr(terminal.fd, TCSANOW, &terminal.ours) == 0) mode_taken = 1;
}

// --- Control events and signals.

CtrlHandler volatile ctrl_handler = nullptr;
volatile sig_atomic_t ctrl_c_ignored = 0;

uint32_t ctrl_event_for(int signal_number) {
  switch (signal_number) {
  case SIGINT: return 0;  // Ctrl-C
  case SIGQUIT: return 1; // Ctrl-Break
  case SIGHUP: return 2;  // the console closed
  default: return 6;      // shut-down
  }
}

void end_by_signal(int signal_number) {
  restore_terminal();
  signal(signal_number, SIG_DFL);
  raise(signal_number); // delivered when the handler returns: the signal's own ending
}

void on_terminate_signal(int signal_number) {
  if (signal_number == SIGINT && ctrl_c_ignored) return;
  const CtrlHandler handler = ctrl_handler;
  if (handler != nullptr && handler(ctrl_event_for(signal_number)) != 0) return;
  end_by_signal(signal_number);
}

struct sigaction crash_previous[32];

void on_crash_signal(int signal_number) {
  restore_terminal();
  // Hand the signal to whoever had it before (the default action, or a sanitizer's report).
  sigaction(signal_number, &crash_previous[signal_number], nullptr);
  raise(signal_number);
}

void install(int signal_number, void (*handler)(int), struct sigaction* previous = nullptr) {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaction(signal_number, &action, previous);
}

void on_stop_signal(int) {
  restore_terminal();
  signal(SIGTSTP, SIG_DFL);
  raise(SIGTSTP);
}

// Back from a stop: the user may have changed the terminal meanwhile; that is the mode to give
// back now, and ours is taken from it again.
void on_continue_signal(int) {
  if (terminal.fd >= 0 && tcgetattr(terminal.fd, &terminal.original) == 0) take_mode();
  install(SIGTSTP, on_stop_signal);
  repaint_pending = 1;
}

void on_resize_signal(int) {
  resize_pending = 1;
}

void install_signal_handlers() {
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    install(signal_number, on_terminate_signal);
  }
  for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
    install(signal_number, on_crash_signal, &crash_previous[signal_number]);
  }
  install(SIGTSTP, on_stop_signal);
  install(SIGCONT, on_continue_signal);
  install(SIGWINCH, on_resize_signal);
}

// --- The screen.

ScreenBuffer back;
ScreenBuffer front;
bool front_valid = false;
bool screen_mode = false; // false: streaming, until the program first clears the whole screen
TerminalState shown = {-1, -1, -1};
FrameBytes frame;

void terminal_size(int* columns, int* rows) {
  winsize size;
  memset(&size, 0, sizeof size);
  const bool known =
      ioctl(terminal.fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0;
  *columns = known ? size.ws_col : 80;
  *rows = known ? size.ws_row : 24;
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

// Standard output is the console when it is this same controlling terminal ("/dev/tty" itself
// has a device number of its own, so the terminals' sessions are compared).
bool is_controlling_terminal(int fd, int terminal_fd) {
  if (!isatty(fd)) return false;
  const pid_t session = tcgetsid(fd);
  return session != -1 && session == tcgetsid(terminal_fd);
}

bool ensure_terminal() {
  if (terminal.tried) return terminal.fd >= 0;
  terminal.tried = true;
  // A closed pipe reader must not end a scheduler that still has launches to make.
  signal(SIGPIPE, SIG_IGN);
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  if (tcgetattr(fd, &terminal.original) != 0) {
    close(fd);
    return false;
  }
  terminal.fd = fd;
  terminal.stdout_is_terminal = is_controlling_terminal(STDOUT_FILENO, fd);
  install_signal_handlers();
  atexit(restore_terminal);
  take_mode();
  int columns = 0, rows = 0;
  terminal_size(&columns, &rows);
  screen_init(&back, columns, rows, false);
  screen_init(&front, columns, rows, false);
  frame.fd = fd;
  return true;
}

// A byte in streaming mode goes out as it is, in the current attribute.
void stream_byte(unsigned char byte) {
  if (shown.attr != back.attr) {
    char sequence[32];
    frame_append(&frame, sequence, sgr_for_attr(back.attr, shown.attr, sequence));
    shown.attr = back.attr;
  }
  char glyph[4];
  const bool acts = byte == '\n' || byte == '\r' || byte == '\b' || byte == '\t' || byte == '\a';
  if (acts) {
    frame_append(&frame, reinterpret_cast<const char*>(&byte), 1);
  } else {
    frame_append(&frame, glyph, utf8_encode(cp437_glyph(byte), glyph));
  }
}

void screen_text(const char* text, size_t length) {
  follow_resize();
  if (screen_mode) {
    screen_write(&back, text, length);
    return;
  }
  for (size_t i = 0; i < length; ++i) {
    screen_write_byte(&back, static_cast<unsigned char>(text[i]));
    stream_byte(static_cast<unsigned char>(text[i]));
  }
  back.scrolled = 0;
}

void flush_screen() {
  if (terminal.fd < 0) return;
  follow_resize();
  if (repaint_pending) {
    repaint_pending = 0;
    front_valid = false;
  }
  if (screen_mode) render_frame(&back, &front, &front_valid, &shown, &frame);
  frame_spill(&frame);
}

void flush_all() {
  flush_screen();
  fflush(stdout);
}

// Redirected standard output: OEM bytes leave as UTF-8, everything else untouched.
int write_redirected(const char* text, size_t length) {
  char chunk[1024];
  size_t used = 0;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      chunk[used++] = static_cast<char>(byte);
    } else {
      used += utf8_encode(cp437_glyph(byte), chunk + used);
    }
    if (used + 4 > sizeof chunk) {
      fwrite(chunk, 1, used, stdout);
      used = 0;
    }
  }
  fwrite(chunk, 1, used, stdout);
  return ferror(stdout) ? -1 : static_cast<int>(length);
}

// --- Key input.

constexpr int64_t escape_wait_ms = 50; // a lone ESC is told from a sequence by this pause
unsigned char pending_bytes[256];
size_t pending_length = 0;
int64_t pending_since_ms = 0;
InputEvent events[256];
uint32_t event_count = 0;
bool input_ended = false;

void push_event(const InputEvent& event) {
  if (event_count < sizeof events / sizeof events[0]) events[event_count++] = event;
}

void decode_pending(bool complete) {
  while (pending_length > 0) {
    InputEvent event;
    size_t consumed = 1;
    const bool full = pending_length == sizeof pending_bytes;
    const DecodeResult result =
        decode_key(pending_bytes, pending_length, complete || full, &event, &consumed);
    if (result == DecodeResult::need_more) return;
    if (result == DecodeResult::key) push_event(event);
    memmove(pending_bytes, pending_bytes + consumed, pending_length - consumed);
    pending_length -= consumed;
    pending_since_ms = plat_monotonic_ms();
  }
}

// Reads what the terminal has sent, waiting up to timeout_ms (-1: until something comes).
void read_terminal(int timeout_ms) {
  pollfd poll_fd = {terminal.fd, POLLIN, 0};
  if (poll(&poll_fd, 1, timeout_ms) <= 0) return;
  if (pending_length == 0) pending_since_ms = plat_monotonic_ms();
  const ssize_t got =
      read(terminal.fd, pending_bytes + pending_length, sizeof pending_bytes - pending_length);
  if (got > 0) {
    pending_length += static_cast<size_t>(got);
  } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
    input_ended = true; // the terminal hung up
  }
  decode_pending(false);
}

// A sequence begun but not finished: give the rest a moment, then take it as a lone ESC.
void settle_pending() {
  if (pending_length == 0) return;
  const int64_t left = pending_since_ms + escape_wait_ms - plat_monotonic_ms();
  if (left > 0) read_terminal(static_cast<int>(left));
  if (pending_length > 0 && plat_monotonic_ms() - pending_since_ms >= escape_wait_ms) {
    decode_pending(true);
  }
}

// --- Processes.

bool starts_nocase(const char* text, const char* prefix, size_t* length) {
  size_t i = 0;
  for (; prefix[i] != '\0'; ++i) {
    const char a = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 32) : text[i];
    if (a != prefix[i]) return false;
  }
  *length = i;
  return true;
}

// The command after "CMD /C START " (or COMMAND's), or null for any other line.
const char* start_target(const char* line) {
  size_t length = 0;
  if (starts_nocase(line, "CMD /C START ", &length)) return line + length;
  if (starts_nocase(line, "COMMAND /C START ", &length)) return line + length;
  return nullptr;
}

[[noreturn]] void exec_shell(const char* command) {
  signal(SIGPIPE, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
  _exit(127);
}

int wait_for(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// START: the command runs on its own, in a session of its own, with nothing to read; the
// intermediate child ends at once, so the command is nobody's child to wait for.
int start_detached(const char* command) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    setsid();
    const pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    const int null_fd = open("/dev/null", O_RDONLY);
    if (null_fd >= 0) dup2(null_fd, STDIN_FILENO);
    exec_shell(command);
  }
  return wait_for(child);
}

int run_waited(const char* line) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) exec_shell(line);
  return wait_for(child);
}

enum class StdoutState { not_asked, open, closed };
StdoutState stdout_state = StdoutState::not_asked;

void (*exit_hooks[16])() = {};
int exit_hook_count = 0;

void fill_system_time(const tm& parts, long nanoseconds, SystemTime* time) {
  time->year = static_cast<uint16_t>(parts.tm_year + 1900);
  time->month = static_cast<uint16_t>(parts.tm_mon + 1);
  time->day_of_week = static_cast<uint16_t>(parts.tm_wday);
  time->day = static_cast<uint16_t>(parts.tm_mday);
  time->hour = static_cast<uint16_t>(parts.tm_hour);
  time->minute = static_cast<uint16_t>(parts.tm_min);
  time->second = static_cast<uint16_t>(parts.tm_sec > 59 ? 59 : parts.tm_sec); // leap second
  time->milliseconds = static_cast<uint16_t>(nanoseconds / 1000000);
}

} // namespace

// --- Console output.

// Only the process itself could close its standard output, and it never does: asked once.
bool plat_stdout_present() {
  if (stdout_state == StdoutState::not_asked) {
    stdout_state = fcntl(STDOUT_FILENO, F_GETFD) != -1 ? StdoutState::open : StdoutState::closed;
  }
  return stdout_state == StdoutState::open;
}

bool plat_screen_info(ScreenInfo* info) {
  if (!ensure_terminal() || !terminal.stdout_is_terminal) return false;
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
  if (!ensure_terminal() || !terminal.stdout_is_terminal) return;
  screen_fill_chars(&back, static_cast<unsigned char>(ch), count, x, y);
  if (!screen_mode && back.fully_known) {
    // The program has taken the whole screen: from now on frames are drawn, not streamed.
    screen_mode = true;
    front_valid = false;
  }
}

void plat_fill_attrs(uint16_t attr, uint32_t count, int16_t x, int16_t y) {
  if (ensure_terminal() && terminal.stdout_is_terminal) screen_fill_attrs(&back, attr, count, x, y);
}

void plat_set_cursor(int16_t x, int16_t y) {
  if (ensure_terminal() && terminal.stdout_is_terminal) screen_set_cursor(&back, x, y);
}

void plat_set_attr(uint16_t attr) {
  if (ensure_terminal() && terminal.stdout_is_terminal) back.attr = attr;
}

int plat_stdout_write(const char* text, size_t length) {
  if (!plat_stdout_present()) return -1;
  if (!ensure_terminal() || !terminal.stdout_is_terminal) return write_redirected(text, length);
  screen_text(text, length);
  return static_cast<int>(length);
}

bool plat_console_open() {
  return ensure_terminal();
}

size_t plat_console_write(const char* text, size_t length) {
  if (!ensure_terminal()) return 0;
  screen_text(text, length);
  return length;
}

// --- Console input.

bool plat_input_open() {
  return ensure_terminal();
}

bool plat_input_count(uint32_t* count) {
  if (terminal.fd < 0) return false;
  if (!input_ended) {
    read_terminal(0);
    settle_pending();
  }
  *count = event_count;
  return true;
}

bool plat_input_peek(InputEvent* out, uint32_t room, uint32_t* got) {
  *got = 0;
  for (uint32_t i = 0; i < event_count && i < room; ++i) out[(*got)++] = events[i];
  return true;
}

bool plat_input_read(InputEvent* event, uint32_t* got) {
  *got = 0;
  if (terminal.fd < 0) return false;
  while (event_count == 0) {
    if (input_ended) return false;
    flush_all();
    if (pending_length > 0) {
      settle_pending();
    } else {
      read_terminal(-1);
    }
  }
  *event = events[0];
  memmove(events, events + 1, (event_count - 1) * sizeof events[0]);
  --event_count;
  *got = 1;
  return true;
}

bool plat_input_get_mode(uint32_t* mode) {
  *mode = input_mode;
  return terminal.fd >= 0;
}

bool plat_input_set_mode(uint32_t mode) {
  input_mode = mode;
  if (terminal.fd < 0) return false;
  take_mode();
  return true;
}

// --- Window and control events: a terminal has a title, but no window manager to find.

bool plat_set_title(const char* title) {
  if (!ensure_terminal()) return false;
  if (!title_pushed) frame_append(&frame, title_push, sizeof title_push - 1);
  title_pushed = 1;
  frame_append(&frame, "\x1b]0;", 4);
  for (const char* c = title; *c != '\0'; ++c) {
    if (static_cast<unsigned char>(*c) >= 0x20) frame_append(&frame, c, 1);
  }
  frame_append(&frame, "\x07", 1);
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

bool plat_set_ctrl_handler(CtrlHandler handler, bool add) {
  if (handler == nullptr) {
    ctrl_c_ignored = add ? 1 : 0;
  } else {
    ctrl_handler = add ? handler : nullptr;
  }
  return true;
}

// --- Clock.

void plat_local_time(SystemTime* time) {
  // A pass reads the local time twice within the same second: the second reading reuses the
  // first one's calendar arithmetic.
  static time_t converted_second = -1;
  static tm parts;
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  if (now.tv_sec != converted_second) {
    localtime_r(&now.tv_sec, &parts);
    converted_second = now.tv_sec;
  }
  fill_system_time(parts, now.tv_nsec, time);
}

void plat_utc_time(SystemTime* time) {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts;
  gmtime_r(&now.tv_sec, &parts);
  fill_system_time(parts, now.tv_nsec, time);
}

void plat_sleep(uint32_t milliseconds) {
  flush_all();
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000;
  if (deadline.tv_nsec >= 1000000000) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000;
  }
  // A resize or a return from a stop wakes the sleep early: repaint, then sleep on.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    flush_screen();
  }
}

int64_t plat_monotonic_ms() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// --- Processes.

int plat_run_command_line(const char* line) {
  flush_all();
  const char* command = start_target(line);
  const int result = command != nullptr ? start_detached(command) : run_waited(line);
  // The launched program may write into the terminal: the next flush repaints it all.
  front_valid = false;
  return result;
}

void plat_at_exit(void (*hook)()) {
  if (exit_hook_count < 16) exit_hooks[exit_hook_count++] = hook;
}

void plat_exit(int status) {
  while (exit_hook_count > 0) exit_hooks[--exit_hook_count]();
  flush_all();
  restore_terminal();
  exit(status);
}
