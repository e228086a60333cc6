// The command processor's part, and the commands it started that may still be running.
#pragma once

// Runs a command processor line as plat_run_command_line says.
int run_command_processor(const char* line);
// True while a command launched with START, or anything it started, may have written to the
// terminal since the last look: until then every flush repaints the screen whole.
bool launched_output_possible();
