// The stop test the waiting modes run after each pass: ESC or Ctrl-C ends the run.
#pragma once

// Returns only when the run goes on.
void stop_check(const char* message);
// The key codes that stop the run.
bool is_stop_key(int key);
// Ends the run after a stop key: message, icon reset, status 0.
[[noreturn]] void stop_run(const char* message);
