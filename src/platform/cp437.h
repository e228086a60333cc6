// The OEM code page 437 as Unicode, for the terminal: the program's text is single-byte OEM.
#pragma once

#include <cstddef>
#include <cstdint>

// The glyph a console cell shows for a byte (0 shows as a blank, 1-31 and 127 as their symbols).
uint32_t cp437_glyph(unsigned char byte);
// What the terminal's character set can show: UTF-8, ISO-8859-1, or ASCII alone.
enum class GlyphSet { utf8, latin1, ascii };
void glyphs_set(GlyphSet set);
GlyphSet glyphs_in_use();
// Whether glyphs_set has been called since the start.
bool glyphs_chosen();
// The glyph set as a new process has it (UTF-8).
void cp437_reset_state();
// The bytes that show a code page byte's glyph in the character set in use: its UTF-8, or one
// byte (the set's own character, or an ASCII stand-in such as # for the square), so that every
// glyph takes the one column it takes on the console. Room for 4 bytes; returns the length.
size_t glyph_bytes_for(unsigned char byte, char* out);
// Room for the bytes of one foreign character with its marks.
enum : size_t { GLYPH_BYTES_MAX = 32 };
// The bytes that show a character of the user's text (points: its code points, 0 after the last,
// at most count) in the character set in use: UTF-8, else the locale's own multibyte form, its
// marks left out where the set lacks them; a character the set lacks shows as '?' in each of its
// columns. Returns the length.
size_t foreign_glyph_bytes(const uint32_t* points, int count, int columns, char* out);
// Writes the UTF-8 of code point into out (room for 4 bytes); returns the length.
size_t utf8_encode(uint32_t code_point, char* out);
// The byte whose glyph is code_point, or -1 when the code page has none.
int cp437_from_unicode(uint32_t code_point);
