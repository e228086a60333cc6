// Small helpers over zero-terminated single-byte texts: searches, trims, a bounded copy, the
// English ordinal suffix and the decimal reading of numbers. Positions given back count from 1,
// with 0 for "not there"; indexes passed in count from 0.
#pragma once

#include <cstdint>

// Letter case is folded for A-Z only, in every comparison here.
char upper_ascii(char c);
bool text_equal_nocase(const char* a, const char* b);
bool text_starts_nocase(const char* text, const char* prefix);
int char_pos(const char* text, char c);
int text_pos_nocase(const char* text, const char* find);
// Points into a buffer of its own that the next call overwrites.
const char* ordinal_suffix(int32_t number);
char* trim_leading(char* text, char c);
char* trim_trailing(char* text, char c);
// Copies until the end of source, a character of delimiters, or count characters (0: no limit,
// below 0: nothing). dest needs room for what is copied and the terminating zero.
char* copy_until(char* dest, const char* source, const char* delimiters, int count);
// The start of the run of digits that ends at index; see text.cpp for the cases.
const char* digit_run_start(const char* text, int index);
// Leading white space, an optional sign, then digits; saturates at the 32-bit limits.
int32_t read_decimal(const char* text);

// A new process starts with "xx" in the suffix buffer.
void ordinal_suffix_reset_state();
