// The exit hooks and the end of the run.
#include "console/run_end.h"

#include "platform/platform.h"

namespace {

void (*hooks[16])() = {};
int hook_count = 0;

} // namespace

void at_run_end(void (*hook)()) {
  if (hook_count < 16) hooks[hook_count++] = hook;
}

void end_run(int status) {
  while (hook_count > 0) hooks[--hook_count]();
  plat_exit(status);
}

void run_end_reset_state() {
  hook_count = 0;
}
