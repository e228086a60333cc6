// The command processor: finding it, and running a launch line through it.
#pragma once

// Runs one command processor line as plat_run_command_line says.
int run_command_processor(const char* line);
// The command's text, wide: as typed when it is the command line's first word, else from the
// ANSI code page. False when it does not fit.
bool command_wide(const char* text, wchar_t* out, int room);
