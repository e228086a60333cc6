// Window identity: title "Vorbelin", icon 101 in both sizes, and the two clean-up paths (the exit
// hook and the console control handler) that take the icon off again.
#include "console/window_identity.h"

#include "platform/platform.h"
#include "util/run_end.h"

static int console_ctrl_handler(uint32_t event);

namespace {

const char* const window_title = "Vorbelin";

void reset_window_icon_hook() {
  reset_window_icon();
}

} // namespace

void setup_window_identity() {
  plat_set_ctrl_handler(console_ctrl_handler, true);
  at_run_end(reset_window_icon_hook);
  if (!plat_stdout_present()) return;
  plat_set_title(window_title);
  // The window must carry the new title before it is searched for by that title.
  plat_sleep(10);
  void* window = plat_find_console_window(window_title);
  if (window == nullptr) return;
  void* large_icon = plat_load_large_icon(ICON_RESOURCE);
  void* small_icon = plat_load_small_icon(ICON_RESOURCE);
  if (large_icon != nullptr) plat_send_icon(window, true, large_icon);
  if (small_icon != nullptr) plat_send_icon(window, false, small_icon);
}

int32_t reset_window_icon() {
  if (!plat_stdout_present()) return -1;
  void* window = plat_find_console_window(window_title);
  plat_send_icon(window, false, nullptr);
  return plat_send_icon(window, true, nullptr);
}

// Runs on the thread (or in the signal handler) of the control event: only the icon and the
// handler list are touched, and the event goes on to the default handling, which ends the process.
static int console_ctrl_handler(uint32_t) {
  plat_set_ctrl_handler(console_ctrl_handler, false);
  plat_set_ctrl_handler(nullptr, true);
  reset_window_icon();
  return 0;
}
