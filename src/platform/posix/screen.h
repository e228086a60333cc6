// The console's screen on the terminal: the in-memory buffer the program draws into, and the
// flush points at which it reaches the terminal.
#pragma once

// Brings the terminal up to date with the screen buffer (at every flush point: before a sleep,
// a blocking key wait, a launch, and at exit). In the background nothing is drawn.
void flush_screen();
// The same, and standard output's buffer too.
void flush_all();
// What the terminal shows is not known any more: the next flush repaints it all.
void screen_forget_shown();
