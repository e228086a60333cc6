// The program's code page text leaving as bytes outside the screen buffer: as glyphs in the
// character set of the user's locale, to a file or as a plain stream of lines.
#pragma once

#include <cstddef>

// Chooses the glyphs from the locale the program runs in (once): UTF-8, ISO-8859-1 or ASCII.
void glyphs_from_locale();
// Standard output that is not the console: its bytes as glyphs, through the C library's buffer.
int write_redirected(const char* text, size_t length);
// Sends what write_redirected left in the buffer; a pass that wrote nothing there costs nothing.
void flush_redirected();

// A plain stream of the console's text, for standard error without a terminal (cron, a service:
// its mail or log) and for a terminal that cannot place the cursor: glyphs, with the line breaks
// of a console 80 columns wide (the title bar fills its row without one).
struct PlainStream {
  int fd;
  int column;
};
// All of length, or 0 when the descriptor took no more.
size_t write_plain(PlainStream* stream, const char* text, size_t length);
