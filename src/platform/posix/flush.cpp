// The flush points, and the two platform calls that are one: a launch and the program's end.
#include "platform/posix/flush.h"

#include <cstdlib>

#include "platform/platform.h"
#include "platform/posix/glyph_output.h"
#include "platform/posix/process.h"
#include "platform/posix/screen.h"
#include "platform/posix/terminal.h"

void flush_screen() {
  // While a command started may still run, and once after it ended, it may have written to
  // the terminal or changed its modes.
  const bool launched = launched_output_possible();
  if (launched) terminal_keep_our_mode();
  terminal_screen_flush(launched);
}

void flush_all() {
  flush_screen();
  flush_redirected();
}

// The interpreter word makes no difference here: the shell starts the command.
LaunchOutcome plat_launch(const char*, const char* command) {
  flush_all();
  const LaunchOutcome outcome = start_command(command);
  terminal_screen_after_launch();
  return outcome;
}

void plat_exit(int status) {
  // The last frame (a stop's message) and the restore reach a slow terminal too.
  terminal_start_ending();
  flush_all();
  terminal_restore();
  exit(status);
}
