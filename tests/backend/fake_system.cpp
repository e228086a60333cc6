// The fake's system calls: what the backend's sys_ calls reach in its tests.
#include "backend/fake_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/cp437.h"
#include "platform/posix/system.h"

FakeSystem fake;

void channels_reset_state();
void glyph_output_reset_state();
void input_reset_state();
void process_reset_state();
void screen_reset_state();
void signals_reset_state();
void terminal_reset_state();
void timers_reset_state();

void fake_reset() {
  fake.~FakeSystem();
  new (&fake) FakeSystem;
  fake.mode.c_lflag = ICANON | ECHO | ISIG;
  fake.mode.c_iflag = ICRNL | IXON;
  for (auto reset : {channels_reset_state, glyph_output_reset_state, input_reset_state,
                     process_reset_state, screen_reset_state, signals_reset_state,
                     terminal_reset_state, timers_reset_state, cp437_reset_state}) {
    reset();
  }
}

size_t FakeSystem::count(const std::string& call) const {
  return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
}

void FakeSystem::type(const std::string& bytes, int64_t after_ms) {
  arrivals.emplace_back(now_ms + after_ms, bytes);
}

namespace {

// Logs the call; true (with errno set) when an error was scripted for it.
bool scripted_error(const char* call) {
  fake.calls.emplace_back(call);
  auto found = fake.errors.find(call);
  if (found == fake.errors.end() || found->second.empty()) return false;
  const int error = found->second.front();
  found->second.pop_front();
  errno = error;
  return error != 0;
}

size_t arrived_bytes() {
  size_t count = 0;
  for (const auto& arrival : fake.arrivals) {
    if (arrival.first <= fake.now_ms) count += arrival.second.size();
  }
  return count;
}

short readiness(const pollfd& fd) {
  short events = 0;
  if (fd.fd == fake_terminal_fd) {
    if (fake.hung_up) return POLLHUP;
    if ((fd.events & POLLIN) && arrived_bytes() > 0) events |= POLLIN;
    if (fd.events & POLLOUT) events |= POLLOUT;
  } else if (fd.fd == fake_end_timer_fd) {
    if (fake.end_timer_due_ms >= 0 && fake.end_timer_due_ms <= fake.now_ms) events |= POLLIN;
  } else if (fd.fd == fake_set_timer_fd) {
    if (fake.clock_was_set) events |= POLLIN;
  }
  return events;
}

// When something a poll watches becomes ready, if anything will.
int64_t next_event_ms(const pollfd* fds, nfds_t count) {
  int64_t next = INT64_MAX;
  for (nfds_t i = 0; i < count; ++i) {
    if (fds[i].fd == fake_terminal_fd && (fds[i].events & POLLIN)) {
      for (const auto& arrival : fake.arrivals) next = std::min(next, arrival.first);
    }
    if (fds[i].fd == fake_end_timer_fd && fake.end_timer_due_ms >= 0) {
      next = std::min(next, fake.end_timer_due_ms);
    }
  }
  return next;
}

} // namespace

int sys_open(const char* path, int) {
  if (scripted_error("open")) return -1;
  if (strcmp(path, "/dev/null") == 0) return 0;
  if (!fake.has_terminal) return errno = ENXIO, -1;
  return fake_terminal_fd;
}

int sys_close(int fd) {
  if (scripted_error("close")) return -1;
  if (fd == fake_report_fds[1]) fake.report_open = false;
  return 0;
}

ssize_t sys_read(int fd, void* bytes, size_t size) {
  if (scripted_error("read")) return -1;
  if (fd == fake_set_timer_fd) return fake.clock_was_set ? (errno = ECANCELED, -1) : 8;
  if (fd == fake_report_fds[0]) {
    if (fake.report.empty() && fake.report_open) throw std::runtime_error("a read that never ends");
    const size_t taken = std::min(size, fake.report.size());
    memcpy(bytes, fake.report.data(), taken);
    fake.report.erase(0, taken);
    return static_cast<ssize_t>(taken);
  }
  if (fake.hung_up) return errno = EIO, -1;
  size_t given = 0;
  while (given < size && !fake.arrivals.empty() && fake.arrivals.front().first <= fake.now_ms) {
    std::string& first = fake.arrivals.front().second;
    const size_t taken = std::min(size - given, first.size());
    memcpy(static_cast<char*>(bytes) + given, first.data(), taken);
    first.erase(0, taken);
    given += taken;
    if (first.empty()) fake.arrivals.pop_front();
  }
  return given > 0 ? static_cast<ssize_t>(given) : (errno = EAGAIN, -1);
}

ssize_t sys_write(int fd, const void* bytes, size_t size) {
  if (scripted_error("write")) return -1;
  if (fd == fake_report_fds[1]) fake.report.append(static_cast<const char*>(bytes), size);
  if (fd != fake_terminal_fd) {
    fake.other_output[fd].append(static_cast<const char*>(bytes), size);
    return static_cast<ssize_t>(size);
  }
  if (fake.hung_up) return errno = EIO, -1;
  size_t taken = size;
  if (!fake.write_answers.empty()) {
    const long answer = fake.write_answers.front();
    fake.write_answers.pop_front();
    if (answer < 0) return errno = static_cast<int>(-answer), -1;
    taken = std::min(size, static_cast<size_t>(answer));
  }
  fake.shown.append(static_cast<const char*>(bytes), taken);
  return static_cast<ssize_t>(taken);
}

int sys_poll(pollfd* fds, nfds_t count, int timeout_ms) {
  if (scripted_error("poll")) return -1;
  for (int round = 0; round < 2; ++round) {
    int ready = 0;
    for (nfds_t i = 0; i < count; ++i) {
      fds[i].revents = readiness(fds[i]);
      if (fds[i].revents != 0) ++ready;
    }
    if (ready > 0 || timeout_ms == 0 || round == 1) return ready;
    const int64_t next = next_event_ms(fds, count);
    if (timeout_ms < 0 && next == INT64_MAX) throw std::runtime_error("a poll that never ends");
    fake.now_ms = timeout_ms < 0 ? next : std::min(next, fake.now_ms + timeout_ms);
    // No case waits that long: a loop of waits that would never end.
    if (fake.now_ms - fake_start_ms > 7 * 86400000LL) throw std::runtime_error("a week waited");
  }
  return 0;
}

int sys_ioctl(int fd, unsigned long request, void* argument) {
  if (scripted_error("ioctl")) return -1;
  if (fd != fake_terminal_fd) return errno = ENOTTY, -1;
  if (fake.hung_up) return errno = EIO, -1;
  if (request == FIONREAD) {
    *static_cast<int*>(argument) = static_cast<int>(arrived_bytes());
  } else if (request == TIOCGWINSZ) {
    winsize* size = static_cast<winsize*>(argument);
    size->ws_col = fake.columns;
    size->ws_row = fake.rows;
  }
  return 0;
}

int sys_fcntl(int fd, int command, int argument) {
  if (scripted_error("fcntl")) return -1;
  if (fd == fake_report_fds[1] && command == F_SETFD) {
    fake.report_closes_at_exec = (argument & FD_CLOEXEC) != 0;
  }
  return fd == STDOUT_FILENO && !fake.stdout_open ? (errno = EBADF, -1) : 0;
}

int sys_dup2(int, int to) {
  return scripted_error("dup2") ? -1 : to;
}

int sys_isatty(int fd) {
  fake.calls.emplace_back("isatty");
  return fd == fake_terminal_fd || (fd == STDIN_FILENO && fake.stdin_is_terminal);
}

int sys_tcgetattr(int, termios* mode) {
  if (scripted_error("tcgetattr")) return -1;
  *mode = fake.mode;
  return 0;
}

int sys_tcsetattr(int, int, const termios* mode) {
  if (scripted_error("tcsetattr")) return -1;
  fake.mode = *mode;
  fake.modes_set.push_back(*mode);
  return 0;
}

pid_t sys_tcgetpgrp(int) {
  fake.calls.emplace_back("tcgetpgrp");
  return fake.hung_up ? (errno = ENOTTY, -1) : fake.foreground_group;
}

pid_t sys_tcgetsid(int) {
  return 50;
}

pid_t sys_getpgrp() {
  return fake.own_group;
}

int sys_clock_gettime(clockid_t, timespec* now) {
  now->tv_sec = fake.now_ms / 1000;
  now->tv_nsec = (fake.now_ms % 1000) * 1000000;
  return 0;
}

int sys_nanosleep(const timespec* wait, timespec*) {
  fake.calls.emplace_back("nanosleep");
  fake.now_ms += wait->tv_sec * 1000 + wait->tv_nsec / 1000000;
  return 0;
}

int sys_timerfd_create(clockid_t clock, int) {
  if (scripted_error("timerfd_create")) return -1;
  return clock == CLOCK_BOOTTIME ? fake_end_timer_fd : fake_set_timer_fd;
}

int sys_timerfd_settime(int fd, int, const itimerspec* setting, itimerspec*) {
  if (scripted_error("timerfd_settime")) return -1;
  if (fd == fake_end_timer_fd) {
    fake.end_timer_due_ms =
        fake.now_ms + setting->it_value.tv_sec * 1000 + setting->it_value.tv_nsec / 1000000;
  } else {
    fake.set_watch_due_s = setting->it_value.tv_sec;
  }
  return 0;
}

int sys_access(const char*, int) {
  return fake.shell_present ? 0 : (errno = ENOENT, -1);
}

pid_t sys_fork() {
  if (scripted_error("fork")) return -1;
  if (fake.forks.empty()) return fake.next_pid++;
  const pid_t answer = fake.forks.front();
  fake.forks.pop_front();
  return answer < 0 ? (errno = EAGAIN, -1) : answer;
}

pid_t sys_setsid() {
  fake.calls.emplace_back("setsid");
  return 1;
}

int sys_pipe(int fds[2]) {
  if (scripted_error("pipe")) return -1;
  fds[0] = fake_report_fds[0];
  fds[1] = fake_report_fds[1];
  fake.report_open = true;
  fake.report_closes_at_exec = false;
  return 0;
}

// The shell would hold a report left open: the exec is logged with it.
int sys_execv(const char* path, char* const arguments[]) {
  const bool leaked = fake.report_open && !fake.report_closes_at_exec;
  fake.calls.emplace_back(std::string("exec ") + path + " " + arguments[1] + " " + arguments[2] +
                          (leaked ? " with the report open" : ""));
  return errno = ENOENT, -1;
}

// A child that has not ended (no status scripted) is still running: WNOHANG says so, and a
// wait without it takes its end as status 0. With SIGCHLD ignored the system reaps the children
// itself: there is none to wait for.
pid_t sys_waitpid(pid_t pid, int* status, int options) {
  if (scripted_error("waitpid")) return -1;
  if (fake.dispositions[SIGCHLD].sa_handler == SIG_IGN) return errno = ECHILD, -1;
  auto& statuses = fake.exits[pid];
  const int next = statuses.empty() ? fake_still_running : statuses.front();
  if (!statuses.empty()) statuses.pop_front();
  if (next == fake_still_running && (options & WNOHANG)) return 0;
  *status = next == fake_still_running ? 0 : next;
  return pid;
}

int sys_kill(pid_t pid, int) {
  const bool alive =
      std::find(fake.live_groups.begin(), fake.live_groups.end(), -pid) != fake.live_groups.end();
  return alive ? 0 : (errno = ESRCH, -1);
}

int sys_raise(int signal_number) {
  fake.raised.push_back(signal_number);
  return 0;
}

int sys_sigaction(int signal_number, const struct sigaction* action, struct sigaction* previous) {
  if (scripted_error("sigaction")) {
    // What a refused call leaves in previous is nothing to rely on.
    if (previous != nullptr) memset(static_cast<void*>(previous), 0x5a, sizeof *previous);
    return -1;
  }
  if (previous != nullptr) *previous = fake.dispositions[signal_number];
  if (action != nullptr) fake.dispositions[signal_number] = *action;
  return 0;
}

int sys_sigprocmask(int, const sigset_t*, sigset_t*) {
  fake.calls.emplace_back("sigprocmask");
  return 0;
}

int sys_atexit(void (*hook)()) {
  fake.at_exit = hook;
  return 0;
}

void sys_exit_now(int status) {
  throw FakeExit{status};
}
