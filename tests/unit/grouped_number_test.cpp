// Digit grouping.
#include <climits>
#include <gtest/gtest.h>
#include <string>

#include "util/grouped_number.h"

TEST(GroupedNumber, FormatGroupedWithTheProgramsArguments) {
  const struct {
    int32_t value;
    const char* text;
  } cases[] = {{0, "0"},
               {7, "7"},
               {999, "999"},
               {1000, "1,000"},
               {86399, "86,399"},
               {100000, "100,000"},
               {1234567, "1,234,567"},
               {INT32_MAX, "2,147,483,647"},
               {-1234, "-1,234"},
               {-999, "-999"},
               {INT32_MIN, "-2,147,483,648"}};
  for (const auto& c : cases) EXPECT_STREQ(format_grouped(c.value, 2, ',', 3), c.text) << c.value;
}

TEST(GroupedNumber, DecimalParts) {
  EXPECT_STREQ(group_digits("1234.5678", 2, ',', 3), "1,234.56");
  EXPECT_STREQ(group_digits("1234.5678", 0, ',', 3), "1,234.");
  EXPECT_STREQ(group_digits("123.4567", 2, ',', 3), "123.45");
  EXPECT_STREQ(group_digits("1234.5", 2, ',', 3), "1,234.5");
}

TEST(GroupedNumber, BlanksAreStrippedOnlyWhenGrouping) {
  EXPECT_STREQ(group_digits("  12345  ", 2, ',', 3), "12,345");
  EXPECT_STREQ(group_digits(" 123 ", 2, ',', 3), " 123 ");
}

TEST(GroupedNumber, SeparatorsAndGroupSizes) {
  EXPECT_STREQ(group_digits("1234567", 2, '.', 3), "1.234.567");
  EXPECT_STREQ(group_digits("1234567", 2, ',', 4), "123,4567");
  EXPECT_STREQ(group_digits("1234567", 2, ',', 1), "1,2,3,4,5,6,7");
  EXPECT_STREQ(group_digits("", 2, ',', 3), "");
  EXPECT_STREQ(group_digits(nullptr, 2, ',', 3), "");
  EXPECT_STREQ(group_digits("1234", 2, ',', 0), "");
}

TEST(GroupedNumber, OneSharedBufferAndNoResultWhenTooLong) {
  const char* first = format_grouped(1000, 2, ',', 3);
  format_grouped(2000, 2, ',', 3);
  EXPECT_STREQ(first, "2,000");
  // 76 digits group into 101 characters: past the limit, and the buffer keeps what it held.
  EXPECT_EQ(group_digits(std::string(76, '9').c_str(), 2, ',', 3), nullptr);
  EXPECT_STREQ(first, "2,000");
  const char* longest = group_digits(std::string(75, '9').c_str(), 2, ',', 3);
  ASSERT_NE(longest, nullptr);
  EXPECT_EQ(std::string(longest).size(), 99u);
  // Inputs longer than the buffers give no result instead of being written past them.
  EXPECT_EQ(group_digits(std::string(500, '1').c_str(), 2, ',', 600), nullptr);
  EXPECT_EQ(group_digits(("1." + std::string(300, '5')).c_str(), 400, ',', 3), nullptr);
}
