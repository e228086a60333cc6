// Digit grouping for the counts on the status screens.
#include "util/grouped_number.h"

#include <cstring>

#include "util/format.h"
#include "util/text.h"

namespace {

constexpr int max_integer_part = 100;
// The text given back, good until the next call: room for a grouped integer part of 100
// characters and a decimal part behind it.
char result_scratch[256];

// Ends text so that at most decimals characters follow its first '.'.
void cut_decimals(char* text, int decimals) {
  const int dot = char_pos(text, '.');
  if (dot == 0 || decimals < 0) return;
  if (static_cast<int>(strlen(text)) > dot + decimals) text[dot + decimals] = '\0';
}

} // namespace

const char* group_digits(const char* text, int decimals, char separator, int group_size) {
  if (text == nullptr || text[0] == '\0' || group_size < 1) {
    result_scratch[0] = '\0';
    return result_scratch;
  }
  const int dot = char_pos(text, '.');
  const size_t integer_length = dot != 0 ? static_cast<size_t>(dot - 1) : strlen(text);
  // The work copy holds 100 characters; a longer integer part cannot be grouped into the result.
  if (integer_length > max_integer_part) return nullptr;
  char work[max_integer_part + 1];
  copy_until(work, text, ".", 0);
  trim_trailing(trim_leading(work, ' '), ' ');
  const int length = static_cast<int>(strlen(work));

  if (length <= group_size) {
    if (strlen(text) >= sizeof result_scratch) return nullptr;
    strcpy(result_scratch, text);
    cut_decimals(result_scratch, decimals);
    return result_scratch;
  }

  const int out_length = length + length / group_size - (length % group_size == 0 ? 1 : 0);
  if (out_length > max_integer_part) return nullptr;
  const size_t tail = dot > 0 ? strlen(text + dot - 1) : 0;
  if (static_cast<size_t>(out_length) + tail >= sizeof result_scratch) return nullptr;

  result_scratch[out_length] = '\0';
  int from = length - 1;
  int in_group = 0;
  for (int i = out_length - 1; i >= 0; --i) {
    if (in_group < group_size) {
      result_scratch[i] = work[from--];
      ++in_group;
    } else {
      result_scratch[i] = separator;
      in_group = 0;
    }
  }
  if (dot > 0) {
    strcpy(result_scratch + out_length, text + dot - 1);
    cut_decimals(result_scratch, decimals);
  }
  return result_scratch;
}

// A negative value is grouped by its digits and the sign put in front (-1,234, not -,123).
const char* format_grouped(int32_t value, int decimals, char separator, int group_size) {
  char number[20];
  const long long magnitude = value < 0 ? -static_cast<long long>(value) : value;
  format_into(number, sizeof number, "%lld", magnitude);
  const char* grouped = group_digits(number, decimals, separator, group_size);
  if (value >= 0 || grouped == nullptr || grouped[0] == '\0') return grouped;
  memmove(result_scratch + 1, result_scratch, strlen(result_scratch) + 1);
  result_scratch[0] = '-';
  return result_scratch;
}
