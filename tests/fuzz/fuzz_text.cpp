// The text and number helpers on arbitrary texts: the first byte picks the numbers. The printf
// engine is held to the C library's output for the program's own formats.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "util/format.h"
#include "util/grouped_number.h"
#include "util/text.h"

namespace {

template <typename... Values>
void same_as_library(size_t room, const char* format, Values... values) {
  char ours[300];
  char library[300];
  const int ours_length = format_into(ours, room, format, values...);
  const int library_length = snprintf(library, room, format, values...);
  if (ours_length != library_length || (room > 0 && strcmp(ours, library) != 0)) __builtin_trap();
}

void check_formats(const std::string& text, int32_t number, size_t room) {
  same_as_library(room, "\376 Launching \"%s\" ...\n", text.c_str());
  same_as_library(room, "%-80s", text.c_str());
  same_as_library(room, "\376 Time left:           %2.2i:%2.2i:%2.2i (%s seconds remaing)... ",
                  number / 3600, (number % 3600) / 60, number % 60, text.c_str());
  same_as_library(room, "\376 Updating every %u second(s)\n", static_cast<unsigned>(number));
  same_as_library(room, "==> time_left=%li\n", static_cast<long>(number));
  same_as_library(room, "%lld", static_cast<long long>(number) * number);
}

} // namespace

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

  check_formats(text, read_decimal(left.c_str()), static_cast<uint8_t>(data[1]) + 1u);
  return 0;
}
