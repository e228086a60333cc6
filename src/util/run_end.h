// The run's end, written once above the platform layer: the exit hooks, run last registered
// first, then the platform's end of the process with the status.
#pragma once

void at_run_end(void (*hook)());
[[noreturn]] void end_run(int status);

// A new process starts with no hooks.
void run_end_reset_state();
