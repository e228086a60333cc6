// The timers a wait ends on (see timers.h).
#include "platform/posix/timers.h"

#include <cerrno>

#include "platform/posix/system.h"

namespace {

constexpr int64_t slice_ms = 15000;

#ifdef __linux__
struct TimersState {
  int end_fd = -1; // on the boot-time clock
  int set_fd = -1; // on the wall clock, cancelled when it is set
  bool timers_made = false;
  bool end_armed = false;
  bool set_armed = false;
};
TimersState state;

void make_timers() {
  if (state.timers_made) return;
  state.timers_made = true;
  state.end_fd = sys_timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC);
  state.set_fd = sys_timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
}

// A time to wait, not an instant: a relative timer on the boot-time clock goes on running while
// the machine is suspended, and one already due fires at once (a zero would disarm it).
bool arm_end(int64_t end_ms) {
  const int64_t left_ms = end_ms - suspend_clock_ms();
  itimerspec setting = {};
  if (left_ms > 0) {
    setting.it_value.tv_sec = static_cast<time_t>(left_ms / 1000);
    setting.it_value.tv_nsec = static_cast<long>(left_ms % 1000) * 1000000;
  } else {
    setting.it_value.tv_nsec = 1;
  }
  return sys_timerfd_settime(state.end_fd, 0, &setting, nullptr) == 0;
}

// Cancelled by any set of the wall clock (and by a resume); its own time, a year on, never
// comes in a wait.
bool arm_set_watch() {
  itimerspec setting = {};
  sys_clock_gettime(CLOCK_REALTIME, &setting.it_value);
  setting.it_value.tv_sec += 366 * 86400;
  return sys_timerfd_settime(state.set_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &setting,
                             nullptr) == 0;
}
#endif

} // namespace

int64_t suspend_clock_ms() {
  timespec now;
#ifdef CLOCK_BOOTTIME
  // Linux's monotonic clock stops while the machine is suspended; its boot-time clock does not.
  sys_clock_gettime(CLOCK_BOOTTIME, &now);
#else
  sys_clock_gettime(CLOCK_MONOTONIC, &now);
#endif
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int timers_arm(int64_t end_ms, bool watch_clock_set, pollfd* fds) {
  int count = 0;
#ifdef __linux__
  make_timers();
  state.end_armed = state.end_fd >= 0 && arm_end(end_ms);
  if (state.end_armed) fds[count++] = pollfd{state.end_fd, POLLIN, 0};
  if (watch_clock_set && state.set_fd >= 0) {
    if (!state.set_armed) state.set_armed = arm_set_watch();
    if (state.set_armed) fds[count++] = pollfd{state.set_fd, POLLIN, 0};
  }
#else
  (void)end_ms;
  (void)watch_clock_set;
  (void)fds;
#endif
  return count;
}

// The time left, which the timer ends first when the machine was suspended meanwhile, so that a
// timer that never fires (a time-out a faked clock scaled to nothing) cannot hold the wait.
int timers_poll_ms(int64_t end_ms) {
  const int64_t left_ms = end_ms - suspend_clock_ms();
  int64_t most_ms = slice_ms;
#ifdef __linux__
  if (state.end_armed) most_ms = INT32_MAX;
#endif
  return static_cast<int>(left_ms <= 0 ? 0 : left_ms < most_ms ? left_ms : most_ms);
}

TimerEnd timers_fired(int64_t end_ms, const pollfd* fds, int count) {
  TimerEnd end = TimerEnd::none;
#ifdef __linux__
  for (int i = 0; i < count; ++i) {
    if (fds[i].revents == 0) continue;
    if (fds[i].fd == state.set_fd) {
      uint64_t expirations;
      state.set_armed = false; // armed again at the next wait that watches
      if (sys_read(state.set_fd, &expirations, sizeof expirations) < 0 && errno == ECANCELED) {
        end = TimerEnd::clock_set;
      }
    } else {
      return TimerEnd::time; // left unread: arming it again clears it
    }
  }
#else
  (void)fds;
  (void)count;
#endif
  return suspend_clock_ms() >= end_ms ? TimerEnd::time : end;
}

#ifdef __linux__
VORBELIN_FRESH_STATE(timers)
#endif
