// The launch: one line that asks the command interpreter to START the command, run by the
// system's command processor, so that the command runs on its own.
#pragma once

enum : int {
  LAUNCH_LINE_ROOM = 257, // 256 characters and the terminating zero
  LAUNCH_LINE_GLUE = 10,  // " /C START " between the interpreter word and the command
};

void launch_command(const char* interpreter, const char* command);
