// The flush points, and the two platform calls that are one: a launch and the program's end.
#include "platform/posix/flush.h"

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/posix/process.h"
#include "platform/posix/screen.h"
#include "platform/posix/terminal.h"

void flush_screen() {
  screen_flush(launched_output_possible());
}

void flush_all() {
  flush_screen();
  fflush(stdout);
}

int plat_run_command_line(const char* line) {
  flush_all();
  const int result = run_command_processor(line);
  // The command processor may have written into the terminal: the next flush repaints it all.
  screen_forget_shown();
  return result;
}

void plat_exit(int status) {
  flush_all();
  terminal_restore();
  exit(status);
}
