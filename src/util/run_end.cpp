// The exit hooks and the end of the run.
#include "util/run_end.h"

#include <cassert>

#include "platform/platform.h"

namespace {

// Room for the hooks the program registers (one, the window's icon), and to spare.
constexpr int hook_room = 16;
struct RunEndState {
  void (*hooks[hook_room])() = {};
  int hook_count = 0;
};
RunEndState state;

} // namespace

void at_run_end(void (*hook)()) {
  // A hook past the room is a mistake in the program: tests and debug builds stop on it.
  assert(state.hook_count < hook_room && "more exit hooks than room for them");
  if (state.hook_count < hook_room) state.hooks[state.hook_count++] = hook;
}

void end_run(int status) {
  while (state.hook_count > 0) state.hooks[--state.hook_count]();
  plat_exit(status);
}

void run_end_reset_state() {
  state = RunEndState{};
}
