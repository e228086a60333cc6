// The text and number helpers on arbitrary texts: the first byte picks the numbers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "util/grouped_number.h"
#include "util/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int decimals = static_cast<int8_t>(data[0]);
  const char separator = static_cast<char>(data[1]);
  const int group = static_cast<int8_t>(data[2]);
  std::string text(reinterpret_cast<const char*>(data + 3), size - 3);
  text = text.c_str(); // up to the first zero, as the program's texts are
  const int half = static_cast<int>(text.size() / 2);
  const std::string left = text.substr(0, half), right = text.substr(half);

  group_digits(text.c_str(), decimals, separator, group);
  format_grouped(read_decimal(text.c_str()), decimals, separator, group);
  text_pos_nocase(left.c_str(), right.c_str());
  char_pos(text.c_str(), separator);
  ordinal_suffix(read_decimal(right.c_str()));
  if (!text.empty())
    digit_run_start(text.c_str(), static_cast<int>(data[0]) % static_cast<int>(text.size()));

  std::string buffer = text;
  trim_trailing(trim_leading(&buffer[0], separator), ' ');
  std::string dest(text.size() + 1, '#');
  copy_until(&dest[0], text.c_str(), right.c_str(), group);
  return 0;
}
