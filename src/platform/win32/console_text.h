// The console's output: standard output's handle, the console's code page, and the program's
// text in that page, for the console and for a file.
#pragma once

#include <windows.h>

#include <cstddef>

// Standard output's handle, asked for once.
HANDLE stdout_handle();
// The console's output code page; without a console, the OEM code page.
UINT console_page();
// The program's own bytes are not its glyphs in the console's code page (UTF-8, a double-byte
// page, a page whose 0xFE is no square), asked once: the command then comes in UTF-8, each
// character a cell of its own, as on POSIX, and the program's bytes show as code page 437's.
bool console_utf8_text();
// The program's text as wide characters: UTF-8 characters as themselves, every other byte as its
// code page 437 glyph. Returns the bytes of text it took; used is the characters it gave.
size_t widen_text(const char* text, size_t length, WCHAR* wide, size_t room, size_t* used);
// As much of the program's text as fits, for a file: in the console's code page, with the
// program's bytes as their glyphs where those are not its own. Returns the bytes given in out;
// taken is the bytes of text used.
size_t text_for_file(const char* text, size_t length, char* out, size_t room, size_t* taken);
// Text for the console itself, in its code page (wide on a UTF-8 console).
bool write_console(HANDLE handle, const char* text, size_t length, DWORD* written);
