// Console input on a terminal.
#pragma once

#include <cstdint>

enum class WatchEnd { deadline, input, clock_set, unwatched };
// Waits until end_ms on the clock that counts suspended time, until keys arrive, or (when asked)
// until the wall clock is set, whichever comes first, noting when keys came. Returns at once
// when keys are already waiting unread; without keys to read (in the background, after a
// hang-up) it does not watch.
WatchEnd watch_input_until(int64_t end_ms, bool watch_clock_set);
