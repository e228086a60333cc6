// The sleep between two passes of a mode: a plain sleep, or a wait that a key ends when there is
// nothing to draw.
#pragma once

#include <cstdint>

#include "app/run_settings.h"

// Nothing to draw and no trace (/Q without /DEBUG), and no key waiting for the stop test: a
// mode waits for its launch or a key, not in passes of the refresh interval. Asked before the
// pass's stop test: after a key that was no stop key the next sleep is a pass's, so that keys
// typed ahead for the shell are read one a pass, as with the screen.
bool sleeps_until_key(const RunSettings& settings);
// A pass's sleep, or a wait that a key ends; either may also end at what also_wake_on names
// (WAKE_ON_CLOCK_SET).
void pass_sleep(uint32_t milliseconds, bool until_key, unsigned also_wake_on);
