// The width table against the C library's, where both know the character.
#include <clocale>
#include <cwchar>
#include <gtest/gtest.h>

#include "platform/char_width.h"

TEST(CharWidth, AgreesWithTheCLibraryWhereBothKnowTheCharacter) {
  const char* const previous = setlocale(LC_CTYPE, nullptr);
  const std::string restore = previous != nullptr ? previous : "C";
  if (setlocale(LC_CTYPE, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
  int compared = 0, differing = 0;
  for (uint32_t c = 0xA0; c <= 0x10FFFF; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    const int theirs = wcwidth(static_cast<wchar_t>(c));
    if (theirs < 0) continue; // unassigned in the C library's Unicode version
    ++compared;
    if (char_width(c) != theirs && ++differing <= 10)
      ADD_FAILURE() << std::hex << "U+" << c << ": " << char_width(c) << " here, " << theirs;
  }
  setlocale(LC_CTYPE, restore.c_str());
  EXPECT_EQ(differing, 0);
  EXPECT_GT(compared, 100000) << "the C library knows too few characters to compare";
}
