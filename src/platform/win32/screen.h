// The console's screen: the console primitives (the plat_ calls of the screen, in screen.cpp) and
// the flush points that hand the frame to the console.
#pragma once

#include <cstddef>

// Hands what changed to the console: the cells, the cursor, the attribute.
void flush_frame();
// Whatever the command processor wrote went to the console behind the frame's back: the copy
// takes the console's cells and cursor again.
void take_console_back();
// Text for the console, taken into the frame's copy; false when the console is to take it.
bool frame_takes_text(const char* text, size_t length);
