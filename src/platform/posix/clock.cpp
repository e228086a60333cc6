// The clock from the C library, and sleeps that keep the screen up to date.
#include <cerrno>
#include <ctime>

#include "platform/platform.h"
#include "platform/posix/flush.h"
#include "platform/posix/input.h"

namespace {

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
  if (watch_input_until(deadline)) return;
  // A resize or a continue wakes the sleep early: the screen is brought up to date (or taken
  // again, back in the foreground), then the sleep goes on to the same end.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    flush_screen();
  }
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
