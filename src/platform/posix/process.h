// The command processor's part, and the commands it started that may still be running.
#pragma once

#include "platform/platform.h"

// START: the command through the shell, in a session of its own, not waited for.
LaunchOutcome start_command(const char* command);
// True while a command launched with START, or anything it started, may have written to the
// terminal since the last look: until then every flush repaints the screen whole.
bool launched_output_possible();
