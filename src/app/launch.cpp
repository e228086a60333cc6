// The launch, refused when its line would be cut.
#include "app/launch.h"

#include <cstring>

LaunchOutcome launch_command(const char* interpreter, const char* command) {
  // The command check refuses such a command; a cut line is never run all the same.
  if (strlen(interpreter) + LAUNCH_LINE_GLUE + strlen(command) >= LAUNCH_LINE_ROOM) {
    return LaunchOutcome{LaunchResult::failed, "command too long"};
  }
  return plat_launch(interpreter, command);
}
