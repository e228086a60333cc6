// The clock, the zone with each year's rules, and sleeps that hand the console its frame first.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/input.h"
#include "platform/win32/screen.h"

namespace {

// FILETIME counts 100 ns from 1601-01-01 UTC.
constexpr int64_t filetime_of_1970 = 116444736000000000LL;

int64_t filetime_value(const FILETIME& time) {
  return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                              time.dwLowDateTime);
}

struct YearRules {
  int year;
  TIME_ZONE_INFORMATION rules;
};

struct ClockState {
  // The active zone as last read, and its rules for the last years asked: a zone's rules may
  // differ from year to year, and the rules without a year are this year's.
  DYNAMIC_TIME_ZONE_INFORMATION zone = {};
  bool zone_read = false;
  YearRules year_rules[2] = {{-1, {}}, {-1, {}}};
  int year_next = 0;
  // The timer that wakes a wait (wake_timer), once it was made.
  bool timer_made = false;
  HANDLE timer = nullptr;
};
ClockState state;

const TIME_ZONE_INFORMATION* rules_for(int year) {
  if (!state.zone_read) plat_zone_reload();
  for (const YearRules& known : state.year_rules) {
    if (known.year == year) return &known.rules;
  }
  YearRules& slot = state.year_rules[state.year_next];
  if (!GetTimeZoneInformationForYear(static_cast<USHORT>(year), &state.zone, &slot.rules)) {
    return nullptr;
  }
  slot.year = year;
  state.year_next = 1 - state.year_next;
  return &slot.rules;
}

// Without a year's rules (a zone the system cannot give them for), the current ones.
bool to_local(int year, const SYSTEMTIME& utc, SYSTEMTIME* local) {
  return SystemTimeToTzSpecificLocalTime(rules_for(year), &utc, local) != 0;
}

} // namespace

int64_t plat_utc_ms() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (filetime_value(now) - filetime_of_1970) / 10000;
}

void plat_zone_reload() {
  state.zone_read = GetDynamicTimeZoneInformation(&state.zone) != TIME_ZONE_ID_INVALID;
  state.year_rules[0].year = state.year_rules[1].year = -1;
}

// The local time the zone's rules for the local year give for the instant, less the instant.
int32_t plat_utc_offset_s(int64_t utc_ms) {
  // Past what a FILETIME counts (before 1601, after year 30,827) the system knows no zone.
  constexpr int64_t first_ms = -filetime_of_1970 / 10000;
  constexpr int64_t last_ms = (INT64_MAX - filetime_of_1970) / 10000;
  if (utc_ms < first_ms || utc_ms > last_ms) return 0;
  const int64_t utc_value = utc_ms * 10000 + filetime_of_1970;
  const FILETIME utc = {static_cast<DWORD>(utc_value), static_cast<DWORD>(utc_value >> 32)};
  SYSTEMTIME utc_parts, local_parts;
  FILETIME local;
  if (!FileTimeToSystemTime(&utc, &utc_parts) ||
      !to_local(utc_parts.wYear, utc_parts, &local_parts)) {
    return 0;
  }
  // Around New Year the local year is another than UTC's.
  if (local_parts.wYear != utc_parts.wYear &&
      !to_local(local_parts.wYear, utc_parts, &local_parts)) {
    return 0;
  }
  if (!SystemTimeToFileTime(&local_parts, &local)) return 0;
  return static_cast<int32_t>((filetime_value(local) - utc_value) / 10000000);
}

int64_t plat_monotonic_ms() {
  return static_cast<int64_t>(GetTickCount64());
}

namespace {

// Without a timer a wait is cut into slices this long, each checked against the tick count.
constexpr int64_t slice_ms = 60000;
// A timer that fires this much before the tick count's end fired because the clock was set.
constexpr int64_t early_ms = 1000;
// After a wait that failed, input is looked for this often.
constexpr DWORD failed_wait_look_ms = 50;

// From Windows 8 on, the time-outs of waits and relative timers do not count time the machine
// spends asleep: a wait that falls due during a sleep would end that much late. An absolute
// due time is the system time's: when the machine wakes after it, the timer is signalled.
// Made at the first wait, and only tried once.
HANDLE wake_timer() {
  if (!state.timer_made) {
    state.timer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    state.timer_made = true;
  }
  return state.timer;
}

bool arm_wake_timer(int64_t left_ms) {
  if (wake_timer() == nullptr) return false;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  LARGE_INTEGER due;
  due.QuadPart = filetime_value(now) + left_ms * 10000;
  return SetWaitableTimer(wake_timer(), &due, 0, nullptr, nullptr, FALSE) != 0;
}

// Waits until end_ms on the tick count, which counts time asleep. The timer may fire early when
// the clock is set forward (the wait then goes on, or ends when asked to), or late when it is set
// back: the relative time-out, which runs while the machine is awake, ends the wait on time then.
WaitEnd wait_until(int64_t end_ms, unsigned wake_on) {
  flush_frame();
  const bool watch_input =
      (wake_on & WAKE_ON_INPUT) != 0 && console_input_handle() != INVALID_HANDLE_VALUE;
  for (;;) {
    const int64_t left_ms = end_ms - plat_monotonic_ms();
    if (left_ms <= 0) return WaitEnd::time;
    HANDLE handles[2];
    DWORD count = 0;
    const bool timed = arm_wake_timer(left_ms);
    if (timed) handles[count++] = wake_timer();
    if (watch_input) handles[count++] = console_input_handle();
    const DWORD time_out = static_cast<DWORD>(timed ? left_ms < INT32_MAX ? left_ms : INT32_MAX
                                              : left_ms < slice_ms ? left_ms
                                                                   : slice_ms);
    const DWORD woken = count > 0 ? WaitForMultipleObjects(count, handles, FALSE, time_out)
                                  : (Sleep(time_out), WAIT_TIMEOUT);
    if (woken == WAIT_FAILED) {
      // It would fail again at once (a handle gone bad): the rest is slept in short slices,
      // with a look at the input after each, rather than spun through.
      Sleep(time_out < failed_wait_look_ms ? time_out : failed_wait_look_ms);
      if (watch_input && WaitForSingleObject(console_input_handle(), 0) == WAIT_OBJECT_0) {
        return WaitEnd::input;
      }
      continue;
    }
    if (watch_input && woken == WAIT_OBJECT_0 + count - 1) return WaitEnd::input;
    if (timed && woken == WAIT_OBJECT_0 && (wake_on & WAKE_ON_CLOCK_SET) != 0 &&
        end_ms - plat_monotonic_ms() > early_ms) {
      return WaitEnd::clock_set;
    }
  }
}

} // namespace

void plat_sleep(uint32_t milliseconds) {
  wait_until(plat_monotonic_ms() + milliseconds, 0);
}

WaitEnd plat_wait(uint32_t milliseconds, unsigned wake_on) {
  return wait_until(plat_monotonic_ms() + milliseconds, wake_on);
}
