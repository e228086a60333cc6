// The exit hooks and the end of the run.
#include "console/run_end.h"

#include <cassert>

#include "platform/platform.h"

namespace {

// Room for the hooks the program registers (one, the window's icon), and to spare.
constexpr int hook_room = 16;
void (*hooks[hook_room])() = {};
int hook_count = 0;

} // namespace

void at_run_end(void (*hook)()) {
  // A hook past the room is a mistake in the program: tests and debug builds stop on it.
  assert(hook_count < hook_room && "more exit hooks than room for them");
  if (hook_count < hook_room) hooks[hook_count++] = hook;
}

void end_run(int status) {
  while (hook_count > 0) hooks[--hook_count]();
  plat_exit(status);
}

void run_end_reset_state() {
  hook_count = 0;
}
