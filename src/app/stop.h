// The stop test the waiting modes run after each pass: ESC or Ctrl-C ends the run.
#pragma once

// Returns only when the run goes on.
void stop_check(const char* message);
// ESC and Ctrl-C stop the run; the second code of a two-code key never does (Ctrl-2's is 3).
bool is_stop_key(int key, bool second_code);
// Ends the run after a stop key: message, icon reset, status 0.
[[noreturn]] void stop_run(const char* message);
