// The command processor: finding it, and running a launch line through it.
#pragma once

#include "platform/platform.h"

// Runs "<interpreter> /C START <command>" through the command processor, five seconds at most.
LaunchOutcome start_command(const char* interpreter, const char* command);
// The command's text, wide: as typed when it is the command line's first word, else from the
// ANSI code page. False when it does not fit.
bool command_wide(const char* text, wchar_t* out, int room);
