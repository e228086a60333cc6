// The clock from the C library, and sleeps that keep the screen up to date.
#include <cerrno>
#include <ctime>

#include "platform/platform.h"
#include "platform/posix/flush.h"
#include "platform/posix/input.h"

int64_t plat_utc_ms() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int32_t plat_utc_offset_s(int64_t utc_ms) {
  const time_t second = static_cast<time_t>(utc_ms >= 0 ? utc_ms / 1000 : (utc_ms - 999) / 1000);
  tm parts;
  return localtime_r(&second, &parts) != nullptr ? static_cast<int32_t>(parts.tm_gmtoff) : 0;
}

namespace {

// Sleeps until milliseconds from now, watching the terminal for keys; true when keys came first
// and the sleep may end there.
bool sleep_watching(uint32_t milliseconds, bool until_input) {
  flush_all();
  timespec deadline;
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000;
  if (deadline.tv_nsec >= 1000000000) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000;
  }
  const WatchEnd end = watch_input_until(deadline);
  if (end == WatchEnd::deadline) return false;
  if (end == WatchEnd::input && until_input) return true;
  // A resize or a continue wakes the sleep early: the screen is brought up to date (or taken
  // again, back in the foreground), then the sleep goes on to the same end.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    flush_screen();
  }
  return false;
}

} // namespace

void plat_sleep(uint32_t milliseconds) {
  sleep_watching(milliseconds, false);
}

bool plat_sleep_or_input(uint32_t milliseconds) {
  return sleep_watching(milliseconds, true);
}

int64_t plat_monotonic_ms() {
  timespec now;
#ifdef CLOCK_BOOTTIME
  // Linux's monotonic clock stops while the machine is suspended; its boot-time clock does not.
  // Sleeps stay on the monotonic clock: they only need to be short of the end, and a pass
  // woken after a suspension finds on this clock how much time went by.
  clock_gettime(CLOCK_BOOTTIME, &now);
#else
  clock_gettime(CLOCK_MONOTONIC, &now);
#endif
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
