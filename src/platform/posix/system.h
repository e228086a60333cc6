// The system calls the POSIX backend makes, in one table. In the program each sys_ call is the
// C library's own, inline, so the table costs nothing; the backend's tests build the same
// sources with VORBELIN_FAKE_SYSTEM and link a scripted fake in its place (a write that takes
// three bytes and then answers EAGAIN, a poll that answers EINTR, a terminal that stalls).
#pragma once

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/timerfd.h>
#endif

#ifdef VORBELIN_FAKE_SYSTEM
#define VORBELIN_SYSTEM_CALL(result, name, parameters, arguments) result sys_##name parameters;
#else
#define VORBELIN_SYSTEM_CALL(result, name, parameters, arguments)                                  \
  inline result sys_##name parameters {                                                            \
    return ::name arguments;                                                                       \
  }
#endif

// Descriptors and the terminal.
VORBELIN_SYSTEM_CALL(int, open, (const char* path, int flags), (path, flags))
VORBELIN_SYSTEM_CALL(int, close, (int fd), (fd))
VORBELIN_SYSTEM_CALL(ssize_t, read, (int fd, void* bytes, size_t size), (fd, bytes, size))
VORBELIN_SYSTEM_CALL(ssize_t, write, (int fd, const void* bytes, size_t size), (fd, bytes, size))
VORBELIN_SYSTEM_CALL(int, poll, (pollfd * fds, nfds_t count, int timeout_ms),
                     (fds, count, timeout_ms))
VORBELIN_SYSTEM_CALL(int, ioctl, (int fd, unsigned long request, void* argument),
                     (fd, request, argument))
VORBELIN_SYSTEM_CALL(int, fcntl, (int fd, int command, int argument), (fd, command, argument))
VORBELIN_SYSTEM_CALL(int, pipe, (int fds[2]), (fds))
VORBELIN_SYSTEM_CALL(int, dup2, (int fd, int to), (fd, to))
VORBELIN_SYSTEM_CALL(int, isatty, (int fd), (fd))
VORBELIN_SYSTEM_CALL(int, tcgetattr, (int fd, termios* mode), (fd, mode))
VORBELIN_SYSTEM_CALL(int, tcsetattr, (int fd, int when, const termios* mode), (fd, when, mode))
VORBELIN_SYSTEM_CALL(pid_t, tcgetpgrp, (int fd), (fd))
VORBELIN_SYSTEM_CALL(pid_t, tcgetsid, (int fd), (fd))
VORBELIN_SYSTEM_CALL(pid_t, getpgrp, (), ())

// Clocks and timers.
VORBELIN_SYSTEM_CALL(int, clock_gettime, (clockid_t clock, timespec* now), (clock, now))
VORBELIN_SYSTEM_CALL(int, nanosleep, (const timespec* wait, timespec* left), (wait, left))
#ifdef __linux__
VORBELIN_SYSTEM_CALL(int, timerfd_create, (clockid_t clock, int flags), (clock, flags))
VORBELIN_SYSTEM_CALL(int, timerfd_settime,
                     (int fd, int flags, const itimerspec* setting, itimerspec* old),
                     (fd, flags, setting, old))
#endif

// Processes and signals.
VORBELIN_SYSTEM_CALL(int, access, (const char* path, int mode), (path, mode))
VORBELIN_SYSTEM_CALL(pid_t, fork, (), ())
VORBELIN_SYSTEM_CALL(pid_t, setsid, (), ())
VORBELIN_SYSTEM_CALL(int, execv, (const char* path, char* const arguments[]), (path, arguments))
VORBELIN_SYSTEM_CALL(pid_t, waitpid, (pid_t pid, int* status, int options), (pid, status, options))
VORBELIN_SYSTEM_CALL(int, kill, (pid_t pid, int signal_number), (pid, signal_number))
VORBELIN_SYSTEM_CALL(int, raise, (int signal_number), (signal_number))
VORBELIN_SYSTEM_CALL(int, sigaction,
                     (int signal_number, const struct sigaction* action,
                      struct sigaction* previous),
                     (signal_number, action, previous))
VORBELIN_SYSTEM_CALL(int, sigprocmask, (int how, const sigset_t* set, sigset_t* old),
                     (how, set, old))
VORBELIN_SYSTEM_CALL(int, atexit, (void (*hook)()), (hook))

#undef VORBELIN_SYSTEM_CALL

// Ends the process at once, without the exit hooks (a child after fork). The fake does not
// return either.
#ifdef VORBELIN_FAKE_SYSTEM
[[noreturn]] void sys_exit_now(int status);
#else
[[noreturn]] inline void sys_exit_now(int status) {
  _exit(status);
}
#endif

// The backend's tests start each case from the state a new process starts with: each module
// that keeps one names its reset with this, and the program has none.
#ifdef VORBELIN_FAKE_SYSTEM
#define VORBELIN_FRESH_STATE(module)                                                               \
  void module##_reset_state() {                                                                    \
    state = decltype(state){};                                                                     \
  }
#else
#define VORBELIN_FRESH_STATE(module)
#endif
