// Builds the launch line and hands it to the command processor.
#include "app/launch.h"

#include <cstdio>

#include "platform/platform.h"

namespace {

// Rewritten at every launch; the command check has made sure the command fits.
char launch_line[LAUNCH_LINE_ROOM];

} // namespace

void launch_command(const char* interpreter, const char* command) {
  snprintf(launch_line, sizeof launch_line, "%s /C START %s", interpreter, command);
  plat_run_command_line(launch_line);
}
