// Decimal texts with a separator between groups of digits (86,399). Both calls return a buffer
// of this module's own that the next call overwrites.
#pragma once

#include <cstdint>

// Groups the integer part of text; null when the grouped part or the whole result would not fit.
const char* group_digits(const char* text, int decimals, char separator, int group_size);
const char* format_grouped(int32_t value, int decimals, char separator, int group_size);
