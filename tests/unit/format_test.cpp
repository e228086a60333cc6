// The printf engine of the output channels, checked against the C library's own.
#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "util/format.h"

namespace {

struct Both {
  std::string ours, library;
  int ours_length, library_length;
};

Both format_both(size_t room, const char* format, ...) {
  char ours[256];
  char library[256];
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  Both both;
  both.ours_length = format_text(ours, room, format, args);
  both.library_length = vsnprintf(library, room, format, copy);
  va_end(copy);
  va_end(args);
  both.ours = room > 0 ? ours : "";
  both.library = room > 0 ? library : "";
  return both;
}

#define EXPECT_SAME(room, format, ...)                                                             \
  do {                                                                                             \
    const Both b = format_both(room, format, __VA_ARGS__);                                         \
    EXPECT_EQ(b.ours, b.library) << '"' << format << '"';                                          \
    EXPECT_EQ(b.ours_length, b.library_length) << '"' << format << '"';                            \
  } while (0)

const char* const flag_sets[] = {"", "-", "0", "+", " ", "-+", "0 ", "-0"};
const char* const widths[] = {"", "1", "3", "8"};
const char* const precisions[] = {"", ".0", ".2", ".5"};

template <typename Check> void for_each_directive(bool numeric, Check check) {
  for (const char* flags : flag_sets) {
    // Flags other than '-' mean nothing to texts and characters.
    if (!numeric && flags[0] != '\0' && std::string(flags) != "-") continue;
    for (const char* width : widths) {
      for (const char* precision : precisions) {
        check(std::string("%") + flags + width + precision);
      }
    }
  }
}

} // namespace

TEST(Format, IntegersMatchTheLibraryForEveryFlagWidthAndPrecision) {
  for_each_directive(true, [](const std::string& directive) {
    for (int value : {INT_MIN, -42, -1, 0, 7, 12345, INT_MAX}) {
      EXPECT_SAME(256, (directive + "d|" + directive + "i").c_str(), value, value);
    }
    for (unsigned value : {0u, 7u, UINT_MAX}) EXPECT_SAME(256, (directive + "u").c_str(), value);
    for (long value : {LONG_MIN, -5L, LONG_MAX})
      EXPECT_SAME(256, (directive + "li").c_str(), value);
    for (long long value : {LLONG_MIN, 0LL, LLONG_MAX}) {
      EXPECT_SAME(256, (directive + "lld").c_str(), value);
    }
    EXPECT_SAME(256, (directive + "lu").c_str(), ULONG_MAX);
  });
}

TEST(Format, TextsAndCharactersMatchTheLibrary) {
  for_each_directive(false, [](const std::string& directive) {
    for (const char* text : {"", "abc", "a longer text than any width"}) {
      EXPECT_SAME(256, (directive + "s").c_str(), text);
    }
  });
  for (const char* directive : {"%c", "%-3c", "%4c"}) EXPECT_SAME(256, directive, 'x');
  EXPECT_SAME(256, "100%% and %s%%", "more");
}

TEST(Format, TheProgramsOwnLinesMatchTheLibrary) {
  EXPECT_SAME(256, "\376 Time left:           %2.2i:%2.2i:%2.2i (%s seconds remaing)... ", 25, 0, 0,
              "90,000");
  EXPECT_SAME(256, "\376 %s%s %2.2i%s %s %4.4i\n", "Running since:       ", "Monday", 7, "th",
              "December", 2026);
  EXPECT_SAME(256, "%-80s", " Vorbelin 1.0.0 - waits, then launches a program");
  EXPECT_SAME(256, "==> time_left=%li\n", 86400L);
  EXPECT_SAME(256, "  Hold down ESC for %u seconds to stop\n\n", 5u);
}

TEST(Format, OutputIsBoundedAndTheWholeLengthIsReturned) {
  const char* const long_text = "0123456789abcdefghij";
  for (size_t room : {1, 2, 5, 20, 21}) {
    EXPECT_SAME(room, "%s", long_text);
    EXPECT_SAME(room, "[%-30s]", long_text);
    EXPECT_SAME(room, "%12.10d", -7);
  }
  char untouched[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(format_into(untouched, 0, "%s", long_text), 20);
  EXPECT_EQ(std::string(untouched, 4), "abcd") << "room 0 writes nothing";
}

// Formats the compiler would refuse, given at run time: a debug build stops; a release build
// copies the rest as it stands.
int format_unchecked(char* out, size_t room, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = format_text(out, room, format, args);
  va_end(args);
  return length;
}

TEST(Format, AnUnknownConversionIsRefused) {
  char out[64] = "";
  const char* const unknown = "%d then %x and %s";
  EXPECT_DEBUG_DEATH(format_unchecked(out, sizeof out, unknown, 5, 255, "never"), "does not know");
  EXPECT_DEBUG_DEATH(format_unchecked(out, sizeof out, "trailing %"), "does not know");
#ifdef NDEBUG
  EXPECT_EQ(format_unchecked(out, sizeof out, unknown, 5, 255, "never"), 16);
  EXPECT_STREQ(out, "5 then %x and %s");
#endif
}
