// Text helpers: searches, trims, the bounded copy, the ordinal suffix and number reading.
#include <climits>
#include <cstring>
#include <gtest/gtest.h>

#include "util/text.h"

TEST(Text, UpperAsciiFoldsOnlyLatinLetters) {
  EXPECT_EQ(upper_ascii('a'), 'A');
  EXPECT_EQ(upper_ascii('z'), 'Z');
  EXPECT_EQ(upper_ascii('A'), 'A');
  EXPECT_EQ(upper_ascii('{'), '{');
  EXPECT_EQ(upper_ascii('`'), '`');
  EXPECT_EQ(upper_ascii(static_cast<char>(0xE9)), static_cast<char>(0xE9));
}

TEST(Text, CharPosCountsFromOneAndNeverFindsTheTerminator) {
  EXPECT_EQ(char_pos("09:30", ':'), 3);
  EXPECT_EQ(char_pos("abc", 'a'), 1);
  EXPECT_EQ(char_pos("abc", 'A'), 0);
  EXPECT_EQ(char_pos("abc", '\0'), 0);
  EXPECT_EQ(char_pos(nullptr, 'a'), 0);
  EXPECT_EQ(char_pos("", 'a'), 0);
}

TEST(Text, TextPosNocase) {
  EXPECT_EQ(text_pos_nocase("satsun", "SUN"), 4);
  EXPECT_EQ(text_pos_nocase("SatSun", "sun"), 4);
  EXPECT_EQ(text_pos_nocase("Mo", "Mon"), 0);
  EXPECT_EQ(text_pos_nocase("abc", ""), 1);
  EXPECT_EQ(text_pos_nocase("abc", nullptr), 1);
  EXPECT_EQ(text_pos_nocase("", ""), 0); // the empty text to search in is tested first
  EXPECT_EQ(text_pos_nocase(nullptr, "a"), 0);
  EXPECT_EQ(text_pos_nocase("aaab", "aab"), 2);
  EXPECT_EQ(text_pos_nocase("1h30m", "M"), 5);
  // Only A-Z fold: bytes above 127 must be equal.
  EXPECT_EQ(text_pos_nocase("\xe9", "\xc9"), 0);
}

TEST(Text, OrdinalSuffixKeepsItsBufferForNonPositiveNumbers) {
  ordinal_suffix_reset_state();
  EXPECT_STREQ(ordinal_suffix(0), "xx");
  EXPECT_STREQ(ordinal_suffix(-3), "xx");
  const struct {
    int number;
    const char* suffix;
  } cases[] = {{1, "st"},  {2, "nd"},  {3, "rd"},   {4, "th"},   {11, "th"}, {12, "th"},
               {13, "th"}, {20, "th"}, {21, "st"},  {22, "nd"},  {23, "rd"}, {24, "th"},
               {30, "th"}, {31, "st"}, {111, "st"}, {112, "nd"}, {113, "rd"}};
  for (const auto& c : cases) EXPECT_STREQ(ordinal_suffix(c.number), c.suffix) << c.number;
  ordinal_suffix(22);
  EXPECT_STREQ(ordinal_suffix(0), "nd");
  // One buffer: the next call overwrites what an earlier one gave.
  const char* first = ordinal_suffix(1);
  ordinal_suffix(2);
  EXPECT_STREQ(first, "nd");
}

TEST(Text, Trims) {
  char blanks[] = "   ";
  EXPECT_STREQ(trim_leading(blanks, ' '), "");
  char blanks2[] = "   ";
  EXPECT_STREQ(trim_trailing(blanks2, ' '), "");
  char both[] = "  12 3  ";
  EXPECT_STREQ(trim_trailing(trim_leading(both, ' '), ' '), "12 3");
  char none[] = "abc";
  EXPECT_STREQ(trim_leading(none, ' '), "abc");
  EXPECT_STREQ(trim_trailing(none, ' '), "abc");
  char tabs[] = "\tab";
  EXPECT_STREQ(trim_leading(tabs, ' '), "\tab");
  char zero[] = "ab";
  EXPECT_STREQ(trim_leading(zero, '\0'), "ab");
  char empty[] = "";
  EXPECT_STREQ(trim_trailing(empty, ' '), "");
}

TEST(Text, CopyUntil) {
  char dest[16];
  EXPECT_STREQ(copy_until(dest, "1234.56", ".", 0), "1234");
  EXPECT_STREQ(copy_until(dest, "1234", ".", 2), "12");
  EXPECT_STREQ(copy_until(dest, "1234", ".", -1), "");
  EXPECT_STREQ(copy_until(dest, "", ".", 0), "");
  EXPECT_STREQ(copy_until(dest, "a,b;c", ";,", 0), "a");
  EXPECT_STREQ(copy_until(dest, "a.b", "", 0), "a.b");
  EXPECT_STREQ(copy_until(dest, "a.b", nullptr, 0), "a.b");
  // Nothing past the count is written, not even for a longer source.
  char guarded[6];
  memset(guarded, '#', sizeof guarded);
  copy_until(guarded, "abcdefgh", nullptr, 3);
  EXPECT_STREQ(guarded, "abc");
  EXPECT_EQ(guarded[4], '#');
}

TEST(Text, DigitRunStart) {
  const char* text = "1h30m";
  EXPECT_EQ(digit_run_start(text, 3), text + 2);
  EXPECT_EQ(digit_run_start(text, 0), text);
  const char* letters = "5xS";
  EXPECT_EQ(digit_run_start(letters, 1), letters + 2);
  const char* digits = "123S";
  EXPECT_EQ(digit_run_start(digits, 2), digits);
  const char word[] = "=h";
  EXPECT_EQ(digit_run_start(word + 1, -1), word);
}

TEST(Text, ReadDecimalSaturatesAtThe32BitLimits) {
  EXPECT_EQ(read_decimal(" \t\n\v\f\r42x"), 42);
  EXPECT_EQ(read_decimal("+7"), 7);
  EXPECT_EQ(read_decimal("-5"), -5);
  EXPECT_EQ(read_decimal("abc"), 0);
  EXPECT_EQ(read_decimal(""), 0);
  EXPECT_EQ(read_decimal("- 5"), 0);
  EXPECT_EQ(read_decimal("2147483647"), INT32_MAX);
  EXPECT_EQ(read_decimal("2147483648"), INT32_MAX);
  EXPECT_EQ(read_decimal("9223372036854775808"), INT32_MAX);
  EXPECT_EQ(read_decimal("-2147483648"), INT32_MIN);
  EXPECT_EQ(read_decimal("-99999999999999999999"), INT32_MIN);
}
