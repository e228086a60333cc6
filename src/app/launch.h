// The launch: the command processor asked to START the command, so that the command runs on its
// own.
#pragma once

#include "platform/platform.h"

enum : int {
  LAUNCH_LINE_ROOM = 257, // 256 characters and the terminating zero
  LAUNCH_LINE_GLUE = 10,  // " /C START " between the interpreter word and the command
};

// A command too long for the launch line with this interpreter word fails without a launch.
LaunchOutcome launch_command(const char* interpreter, const char* command);
