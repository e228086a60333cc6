// The countdown mode: counts a relative delay down in passes with a live status screen, then
// launches the command, once or after every interval.
#pragma once

#include <cstdint>

#include "app/run_settings.h"

// Returns after the launch attempt of a run without repeat, false when that launch failed; a
// repeating run ends in a stop test.
bool run_countdown(const RunSettings* settings);
