// Console input on a terminal.
#pragma once

#include <ctime>

// Waits until a monotonic-clock deadline or until keys arrive, whichever comes first, noting
// when they came. Returns at once when keys are already waiting unread.
void watch_input_until(const timespec& deadline);
