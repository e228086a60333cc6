// The flush points that are platform calls of their own: a launch, and the program's end.
#include <cstdlib>

#include "platform/platform.h"
#include "platform/win32/input.h"
#include "platform/win32/process.h"
#include "platform/win32/screen.h"

int plat_run_command_line(const char* line) {
  flush_frame();
  const int result = run_command_processor(line);
  take_console_back();
  return result;
}

void plat_exit(int status) {
  flush_frame();
  give_back_input_mode();
  exit(status);
}
