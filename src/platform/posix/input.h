// Console input on a terminal.
#pragma once

#include <ctime>

enum class WatchEnd { deadline, input, unwatched };
// Waits until a monotonic-clock deadline or until keys arrive, whichever comes first, noting
// when they came. Returns at once when keys are already waiting unread; without keys to read
// (in the background, after a hang-up) it does not watch.
WatchEnd watch_input_until(const timespec& deadline);
