// Stopping: ESC, or Ctrl-C read during a key read.
#include "app/stop.h"

#include "console/console.h"
#include "console/key_input.h"
#include "console/window_identity.h"
#include "util/run_end.h"

bool is_stop_key(int key) {
  return key == KEY_ESC || key == KEY_CTRL_C;
}

void stop_run(const char* message) {
  con_print("%s", message);
  reset_window_icon();
  end_run(0);
}

void stop_check(const char* message) {
  const int key = key_waiting() == 1 ? read_key_echo() : 0;
  if (is_stop_key(key)) stop_run(message);
}
