// The time-of-day mode: waits for a wall-clock hour and minute with a live status screen and
// launches once for each local date, once or every day.
#pragma once

#include "app/run_settings.h"

// Returns after the launch attempt of a run without repeat, false when that launch failed; a
// repeating run ends in a stop test.
bool run_time_of_day(const RunSettings* settings);
