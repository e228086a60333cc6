// The OEM code page 437 as Unicode, for the terminal: the program's text is single-byte OEM.
#pragma once

#include <cstddef>
#include <cstdint>

// The glyph a console cell shows for a byte (0 shows as a blank, 1-31 and 127 as their symbols).
uint32_t cp437_glyph(unsigned char byte);
// Writes the UTF-8 of code point into out (room for 4 bytes); returns the length.
size_t utf8_encode(uint32_t code_point, char* out);
// The byte whose glyph is code_point, or -1 when the code page has none.
int cp437_from_unicode(uint32_t code_point);
