// The flush points that are platform calls of their own: a launch, and the program's end.
#include <cstdlib>

#include "platform/platform.h"
#include "platform/win32/input.h"
#include "platform/win32/process.h"
#include "platform/win32/screen.h"

LaunchOutcome plat_launch(const char* interpreter, const char* command) {
  flush_frame();
  const LaunchOutcome outcome = start_command(interpreter, command);
  take_console_back();
  return outcome;
}

void plat_exit(int status) {
  flush_frame();
  give_back_input_mode();
  exit(status);
}
