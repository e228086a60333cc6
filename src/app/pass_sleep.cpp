// The sleep between two passes of a mode.
#include "app/pass_sleep.h"

#include "console/key_input.h"
#include "platform/platform.h"

bool sleeps_until_key(const RunSettings& settings) {
  return !settings.announce && !settings.debug && key_waiting() == 0;
}

void pass_sleep(uint32_t milliseconds, bool until_key, unsigned also_wake_on) {
  if (until_key) {
    wait_for_key(milliseconds, also_wake_on);
  } else {
    plat_wait(milliseconds, also_wake_on);
  }
}
