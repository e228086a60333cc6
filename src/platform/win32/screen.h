// The console's screen: its handle, the frame that brings it up to date at each flush point, and
// the console primitives (the plat_ calls of the screen, in screen.cpp).
#pragma once

#include <windows.h>

#include <cstddef>

// The console's code page has characters of more than one byte (UTF-8, a double-byte page),
// asked once: the command then comes in UTF-8, each character a cell of its own, as on POSIX.
bool console_multibyte();
// Standard output's handle, asked for once.
HANDLE stdout_handle();
// Hands what changed to the console: the cells, the cursor, the attribute.
void flush_frame();
// Whatever the command processor wrote went to the console behind the frame's back: the copy
// takes the console's cells and cursor again.
void take_console_back();
// Text for the console, taken into the frame's copy; false when the console is to take it.
bool frame_takes_text(const char* text, size_t length);
// Text for the console itself, in its code page (wide on a UTF-8 console).
bool write_console(HANDLE handle, const char* text, size_t length, DWORD* written);
