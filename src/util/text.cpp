// Text helpers shared by the option parser, the status screens and the grouped numbers.
#include "util/text.h"

#include <climits>

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// The last suffix given: asked for a number below 1, the suffix of the one before.
struct TextState {
  char suffix[3] = {'x', 'x', '\0'};
};
TextState state;

} // namespace

char upper_ascii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

int char_pos(const char* text, char c) {
  if (text == nullptr || c == '\0') return 0;
  for (int i = 0; text[i] != '\0'; ++i) {
    if (text[i] == c) return i + 1;
  }
  return 0;
}

// The count of leading characters the two share, letter case aside.
static int shared_nocase(const char* a, const char* b) {
  int i = 0;
  while (a[i] != '\0' && b[i] != '\0' && upper_ascii(a[i]) == upper_ascii(b[i])) ++i;
  return i;
}

bool text_equal_nocase(const char* a, const char* b) {
  const int shared = shared_nocase(a, b);
  return a[shared] == '\0' && b[shared] == '\0';
}

bool text_starts_nocase(const char* text, const char* prefix) {
  return prefix[shared_nocase(text, prefix)] == '\0';
}

int text_pos_nocase(const char* text, const char* find) {
  if (text == nullptr || text[0] == '\0') return 0;
  if (find == nullptr || find[0] == '\0') return 1;
  for (int start = 0; text[start] != '\0'; ++start) {
    const int shared = shared_nocase(text + start, find);
    if (find[shared] == '\0') return start + 1;
    // The text ran out before the search text did: no later start can fit either.
    if (text[start + shared] == '\0') return 0;
  }
  return 0;
}

const char* ordinal_suffix(int32_t number) {
  if (number <= 0) return state.suffix;
  const char* suffix = "th";
  const int32_t last = number % 10;
  if (number <= 3 || number > 20) {
    if (last == 1) suffix = "st";
    if (last == 2) suffix = "nd";
    if (last == 3) suffix = "rd";
  }
  state.suffix[0] = suffix[0];
  state.suffix[1] = suffix[1];
  return state.suffix;
}

void ordinal_suffix_reset_state() {
  state = TextState{};
}

char* trim_leading(char* text, char c) {
  if (c == '\0' || text[0] != c) return text;
  int skip = 0;
  while (text[skip] == c) ++skip;
  int i = 0;
  while (text[skip + i] != '\0') {
    text[i] = text[skip + i];
    ++i;
  }
  text[i] = '\0';
  return text;
}

char* trim_trailing(char* text, char c) {
  int end = 0;
  while (text[end] != '\0') ++end;
  while (end > 0 && text[end - 1] == c) --end;
  text[end] = '\0';
  return text;
}

char* copy_until(char* dest, const char* source, const char* delimiters, int count) {
  int copied = 0;
  if (count >= 0) {
    while (source[copied] != '\0' && char_pos(delimiters, source[copied]) == 0 &&
           (count == 0 || copied < count)) {
      dest[copied] = source[copied];
      ++copied;
    }
  }
  dest[copied] = '\0';
  return dest;
}

// An index of 0 or less is given back as it is (the caller guarantees that text[-1] exists for
// -1). At a digit the search runs back over the digits, never before text[0]; at any other
// character the place after it is given.
const char* digit_run_start(const char* text, int index) {
  if (index <= 0) return text + index;
  if (!is_digit(text[index])) return text + index + 1;
  while (index > 0 && is_digit(text[index - 1])) --index;
  return text + index;
}

int32_t read_decimal(const char* text) {
  while (is_space(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = (*text++ == '-');
  int64_t value = 0;
  for (; is_digit(*text); ++text) {
    value = value * 10 + (*text - '0');
    // Past either limit the result is fixed; the rest of the digits change nothing.
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) return static_cast<int32_t>(-value);
  return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value);
}
