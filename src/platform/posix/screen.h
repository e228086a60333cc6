// The console's screen on the terminal: the in-memory buffer the program draws into, and the
// frames that bring the terminal up to date with it.
#pragma once

#include <cstddef>

// Opens the screen on the controlling terminal once; false when there is none.
bool terminal_screen_open();
// Standard output is this screen: it goes to the same terminal, one that can place the cursor.
bool terminal_screen_takes_stdout();
// The console's text at the cursor: streamed into the terminal as any program's output until
// the program clears the whole screen, drawn into the buffer from then on.
void terminal_screen_text(const char* text, size_t length);
// Sends the terminal what changed, in one frame; in the background nothing is drawn. repaint:
// someone else may have written to the terminal since the last flush.
void terminal_screen_flush(bool repaint);
// What the terminal shows is not known any more: the next flush repaints it all.
void terminal_screen_forget_shown();
// A launched command wrote where the terminal's cursor was: the text after it streams below
// what it wrote, until the next whole clear draws the screen again.
void terminal_screen_after_launch();
