// The launch: one line that asks the command interpreter to START the command, run by the
// system's command processor, so that the command runs on its own.
#pragma once

enum : int {
  LAUNCH_LINE_ROOM = 257, // 256 characters and the terminating zero
  LAUNCH_LINE_GLUE = 10,  // " /C START " between the interpreter word and the command
};

// What came of a launch: the command started (or was still being started when the program
// stopped waiting for the command processor), or the reason it did not.
struct LaunchOutcome {
  bool failed;
  bool pending;
  char reason[32]; // with failed: "command not found", "no command processor", "exit code 9009"
};

LaunchOutcome launch_command(const char* interpreter, const char* command);
