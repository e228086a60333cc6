// Builds the launch line, hands it to the command processor and tells what came of it.
#include "app/launch.h"

#include <cstdio>

#include "platform/platform.h"

LaunchOutcome launch_command(const char* interpreter, const char* command) {
  // The command check refuses a command that would not fit; a cut line is never run all the same.
  char launch_line[LAUNCH_LINE_ROOM];
  const int length =
      snprintf(launch_line, sizeof launch_line, "%s /C START %s", interpreter, command);
  if (length < 0 || length >= static_cast<int>(sizeof launch_line)) {
    return LaunchOutcome{true, false, "command too long"};
  }
  const int code = plat_run_command_line(launch_line);
  LaunchOutcome outcome = {code != 0 && code != RUN_STILL_RUNNING, code == RUN_STILL_RUNNING, ""};
  if (!outcome.failed) return outcome;
  // 127 and 126 are the POSIX shell's own: a command it could not find, or could not run.
  if (code == RUN_NOT_STARTED) {
    snprintf(outcome.reason, sizeof outcome.reason, "no command processor");
  } else if (code == 127) {
    snprintf(outcome.reason, sizeof outcome.reason, "command not found");
  } else if (code == 126) {
    snprintf(outcome.reason, sizeof outcome.reason, "command cannot be run");
  } else {
    snprintf(outcome.reason, sizeof outcome.reason, "exit code %d", code);
  }
  return outcome;
}
