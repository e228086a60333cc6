// The console frame: the rectangle of changed cells and the rows a text reaches.
#include <gtest/gtest.h>
#include <string>

#include "platform/console_frame.h"

TEST(ConsoleFrame, TheChangedRectangleAndTheRowsATextReaches) {
  static ScreenBuffer back, front;
  screen_init(&back, 20, 4, true);
  front = back;
  CellRect rect = {0, 0, 0, 0};
  EXPECT_FALSE(frame_changed_rect(&back, &front, &rect));
  // A character on row 1 and an attribute alone on row 3: one rectangle around both.
  screen_set_cursor(&back, 12, 1);
  screen_write(&back, "ab", 2);
  screen_fill_attrs(&back, 0x4F, 3, 4, 3);
  ASSERT_TRUE(frame_changed_rect(&back, &front, &rect));
  EXPECT_EQ(rect.left, 4);
  EXPECT_EQ(rect.top, 1);
  EXPECT_EQ(rect.right, 13);
  EXPECT_EQ(rect.bottom, 3);
  // From column 14 of row 1: wrapping at column 20, tabs, line feeds, and past the last row.
  const std::pair<std::string, int> texts[] = {
      {"123456", 2}, {"12345", 1},      {"\t", 1},     {"\t\t", 2},
      {"\n\n", 3},   {"\r\n\n\n\n", 5}, {"\b\b\b", 1},
  };
  for (const auto& [text, row] : texts) {
    EXPECT_EQ(frame_row_after(&back, text.data(), text.size()), row) << text;
    static ScreenBuffer written;
    written = back;
    screen_write(&written, text.data(), text.size());
    if (row < back.height) {
      EXPECT_EQ(written.cursor_y, row) << "the buffer agrees: " << text;
    }
  }
}
