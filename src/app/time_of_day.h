// The time-of-day mode: waits for a wall-clock hour and minute with a live status screen and
// launches once in that minute, once or every day.
#pragma once

#include "app/run_settings.h"

// Returns after the launch attempt of a run without repeat; a repeating run ends in a stop test.
void run_time_of_day(const RunSettings* settings);
