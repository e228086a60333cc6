// Console input on a terminal.
#pragma once

#include <ctime>

// Waits until a monotonic-clock deadline or until keys arrive, whichever comes first, noting
// when they came; true when the deadline was reached with nothing to read. Returns at once when
// keys are already waiting unread, or in the background.
bool watch_input_until(const timespec& deadline);
