// The clock, and sleeps that hand the console its frame first.
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

} // namespace

int64_t plat_utc_ms() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (filetime_value(now) - filetime_of_1970) / 10000;
}

// The local time the system's zone rules give for the instant, less the instant.
int32_t plat_utc_offset_s(int64_t utc_ms) {
  const int64_t utc_value = utc_ms * 10000 + filetime_of_1970;
  const FILETIME utc = {static_cast<DWORD>(utc_value), static_cast<DWORD>(utc_value >> 32)};
  SYSTEMTIME utc_parts, local_parts;
  FILETIME local;
  if (!FileTimeToSystemTime(&utc, &utc_parts) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc_parts, &local_parts) ||
      !SystemTimeToFileTime(&local_parts, &local)) {
    return 0;
  }
  return static_cast<int32_t>((filetime_value(local) - utc_value) / 10000000);
}

void plat_sleep(uint32_t milliseconds) {
  flush_frame();
  Sleep(milliseconds);
}

// The console input handle is signalled while input events wait unread.
bool plat_sleep_or_input(uint32_t milliseconds) {
  flush_frame();
  if (console_input_handle() == INVALID_HANDLE_VALUE) {
    Sleep(milliseconds);
    return false;
  }
  return WaitForSingleObject(console_input_handle(), milliseconds) == WAIT_OBJECT_0;
}

int64_t plat_monotonic_ms() {
  return static_cast<int64_t>(GetTickCount64());
}
