// The printf engine behind the two output channels: the few conversions the program's own
// formats use, done without the C library's general machinery, which costs more than the whole
// rest of a status screen. Output is bounded by the room given.
#pragma once

#include <cstdarg>
#include <cstddef>

// Formats as vsnprintf does for the conversions d, i, u, c and s, with the flags '-', '0', '+'
// and ' ', a width, a precision and the length modifiers l and ll; "%%" is a percent sign. Any
// other conversion is a mistake in the program: an assertion stops on it, and without assertions
// the rest of the format is copied as it stands. Writes at most room - 1 characters and a
// terminating zero (nothing when room is 0); returns the length the whole text would have.
int format_text(char* out, size_t room, const char* format, va_list args);
int format_into(char* out, size_t room, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
