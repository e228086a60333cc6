// Stopping: ESC, or Ctrl-C read during a key read.
#include "app/stop.h"

#include "console/console.h"
#include "console/key_input.h"
#include "console/window_identity.h"
#include "util/run_end.h"

bool is_stop_key(int key, bool second_code) {
  return !second_code && (key == KEY_ESC || key == KEY_CTRL_C);
}

void stop_run(const char* message) {
  con_print("%s", message);
  reset_window_icon();
  end_run(0);
}

void stop_check(const char* message) {
  if (key_waiting() != 1) return;
  const bool second_code = key_second_code_pending();
  if (is_stop_key(read_key_echo(), second_code)) stop_run(message);
}
