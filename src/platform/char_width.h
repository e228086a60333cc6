// The columns a character takes on a terminal and on the console: one table for every backend,
// generated from the Unicode Character Database (tools/gen_char_width.py).
#pragma once

#include <cstdint>

// 0 for a character that joins the one before it (a combining mark, a zero-width character),
// 2 for a wide one (East Asian wide and fullwidth, emoji), else 1. Control characters are the
// caller's: they are never shown as themselves.
int char_width(uint32_t code_point);
