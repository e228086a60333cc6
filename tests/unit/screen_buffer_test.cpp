// The screen buffer: text written into cells as a console writes it.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "platform/screen_buffer.h"

TEST(ScreenBuffer, TextWrittenAsOneRunEqualsTextWrittenByteByByte) {
  const std::string texts[] = {
      std::string(45, 'w') + "\n",                   // past the last column, then a line feed
      "abc\rX\bY\tZ\a!",                             // every byte that acts
      "\b\bstart of row",                            // backspace in the first column stays
      std::string(20, 'x') + "\n\n\n\n\n\nscrolled", // the last row scrolls the buffer
      "\xfe tab\tat\tthe\tend\t\t\t",                // tabs past the last column wrap
  };
  for (const std::string& text : texts) {
    static ScreenBuffer run, bytes;
    screen_init(&run, 20, 4, true);
    screen_init(&bytes, 20, 4, true);
    run.attr = bytes.attr = 0x1E;
    screen_write(&run, text.data(), text.size());
    for (unsigned char c : text) screen_write_byte(&bytes, c);
    EXPECT_EQ(run.cursor_x, bytes.cursor_x) << text;
    EXPECT_EQ(run.cursor_y, bytes.cursor_y) << text;
    EXPECT_EQ(run.scrolled, bytes.scrolled) << text;
    for (int y = 0; y < 4; ++y) {
      EXPECT_EQ(memcmp(screen_row(&run, y), screen_row(&bytes, y), sizeof(ScreenCell) * 20), 0)
          << text << y;
    }
  }
}

namespace {

// The buffer's rows, each as wide as the buffer, joined by '|'.
std::string rows_text(const ScreenBuffer& screen) {
  std::string text;
  for (int y = 0; y < screen.height; ++y) {
    if (y > 0) text += '|';
    for (int x = 0; x < screen.width; ++x) text += static_cast<char>(screen_row(&screen, y)[x].ch);
  }
  return text;
}

} // namespace

// The rows lie end to end at the buffer's width, so a resize moves each one to its new place.
TEST(ScreenBuffer, ResizeKeepsTheTopLeftContentInPlace) {
  static ScreenBuffer screen;
  screen_init(&screen, 4, 3, true);
  screen_write(&screen, "abcdefghijk", 11);
  screen_resize(&screen, 6, 4); // wider and taller
  EXPECT_EQ(rows_text(screen), "abcd  |efgh  |ijk   |      ");
  screen_resize(&screen, 3, 5); // narrower and taller
  EXPECT_EQ(rows_text(screen), "abc|efg|ijk|   |   ");
  screen_resize(&screen, 5, 2); // wider and shorter
  EXPECT_EQ(rows_text(screen), "abc  |efg  ");
}
