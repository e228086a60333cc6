// The timers a wait ends on: its end on the clock that counts the time the machine spent
// suspended, and a watch of the wall clock's being set. On Linux both are descriptors polled
// beside the terminal (timerfd), so a wait ends on time across a suspend and wakes as the clock
// is set. Elsewhere a wait polls in slices of at most 15 s and reads the clock after each: it
// ends at most 15 s after the machine wakes, and a set of the clock is not seen.
#pragma once

#include <cstdint>
#include <poll.h>

// Milliseconds from an arbitrary start on the clock that counts suspended time.
int64_t suspend_clock_ms();

enum class TimerEnd { none, time, clock_set };
// Readies the timers for a wait that ends at end_ms (on suspend_clock_ms's clock), watching for a
// set of the wall clock when asked. Fills up to two descriptors to poll and gives their count.
int timers_arm(int64_t end_ms, bool watch_clock_set, pollfd* fds);
// The time-out for a poll over those descriptors.
int timers_poll_ms(int64_t end_ms);
// What the timers say after the poll.
TimerEnd timers_fired(int64_t end_ms, const pollfd* fds, int count);
