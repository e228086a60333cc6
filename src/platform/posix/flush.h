// The flush points: before a sleep, a blocking key wait, a launch, and at exit, the terminal is
// brought up to date with what the program drew.
#pragma once

// The screen, repainted whole while a launched command may have written over it.
void flush_screen();
// The same, and standard output's buffer too.
void flush_all();
