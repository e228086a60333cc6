// The clock from the C library, and sleeps that keep the screen up to date.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/flush.h"
#include "platform/posix/input.h"
#include "platform/posix/system.h"
#include "platform/posix/timers.h"

int64_t plat_utc_ms() {
  timespec now;
  sys_clock_gettime(CLOCK_REALTIME, &now);
  // A clock set past what milliseconds in 64 bits hold reads as their last second.
  constexpr int64_t last_second = INT64_MAX / 1000 - 1;
  const int64_t second = now.tv_sec > last_second ? last_second : now.tv_sec;
  return second * 1000 + now.tv_nsec / 1000000;
}

int32_t plat_utc_offset_s(int64_t utc_ms) {
  const time_t second = static_cast<time_t>(utc_ms / 1000 - (utc_ms % 1000 < 0 ? 1 : 0));
  tm parts;
  return localtime_r(&second, &parts) != nullptr ? static_cast<int32_t>(parts.tm_gmtoff) : 0;
}

// localtime_r reads the zone once. tzset reads the system's zone file again when TZ is unset
// (after a look at the file's identity and time, so an unchanged zone costs a stat), but a TZ
// whose value has not changed not at all: set aside for a moment, its zone is read anew too.
void plat_zone_reload() {
  static char zone_scratch[256]; // TZ's value, which the first setenv may free
  const char* value = getenv("TZ");
  if (value != nullptr && strlen(value) < sizeof zone_scratch) {
    memcpy(zone_scratch, value, strlen(value) + 1);
    setenv("TZ", "UTC0", 1);
    tzset();
    setenv("TZ", zone_scratch, 1);
  }
  tzset();
}

int64_t plat_monotonic_ms() {
  return suspend_clock_ms();
}

namespace {

// A poll that failed for want of memory would fail again at once: rather than spin, the wait
// sleeps in slices, each read against the clock that counts suspended time.
void sleep_after_failed_poll(int64_t end_ms) {
  constexpr int64_t slice_ms = 1000;
  const int64_t left_ms = end_ms - suspend_clock_ms();
  const int64_t ms = left_ms <= 0 ? 0 : (left_ms < slice_ms ? left_ms : slice_ms);
  const timespec pause = {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000 * 1000000)};
  sys_nanosleep(&pause, nullptr);
}

// Waits on the timers alone: nothing to watch on the terminal, or keys this wait does not end
// for. A resize or a continue wakes it early: the screen is brought up to date (or taken again,
// back in the foreground), then the wait goes on to the same end.
WaitEnd wait_on_timers(int64_t end_ms, bool watch_clock_set) {
  for (;;) {
    pollfd fds[2];
    const int timers = timers_arm(end_ms, watch_clock_set, fds);
    if (sys_poll(fds, static_cast<nfds_t>(timers), timers_poll_ms(end_ms)) < 0) {
      if (errno == EINTR) {
        flush_screen();
      } else {
        sleep_after_failed_poll(end_ms);
        if (suspend_clock_ms() >= end_ms) return WaitEnd::time;
      }
      continue;
    }
    const TimerEnd end = timers_fired(end_ms, fds, timers);
    if (end == TimerEnd::time) return WaitEnd::time;
    if (end == TimerEnd::clock_set) return WaitEnd::clock_set;
  }
}

WaitEnd wait_until(int64_t end_ms, unsigned wake_on) {
  flush_all();
  const bool watch_clock_set = (wake_on & WAKE_ON_CLOCK_SET) != 0;
  switch (watch_input_until(end_ms, watch_clock_set)) {
  case WatchEnd::deadline: return WaitEnd::time;
  case WatchEnd::clock_set: return WaitEnd::clock_set;
  case WatchEnd::input:
    if (wake_on & WAKE_ON_INPUT) return WaitEnd::input;
    break;
  case WatchEnd::unwatched: break;
  }
  return wait_on_timers(end_ms, watch_clock_set);
}

} // namespace

void plat_sleep(uint32_t milliseconds) {
  wait_until(suspend_clock_ms() + milliseconds, 0);
}

WaitEnd plat_wait(uint32_t milliseconds, unsigned wake_on) {
  return wait_until(suspend_clock_ms() + milliseconds, wake_on);
}
