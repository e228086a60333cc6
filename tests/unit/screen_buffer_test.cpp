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
      EXPECT_EQ(memcmp(run.cells[y], bytes.cells[y], sizeof(ScreenCell) * 20), 0) << text << y;
    }
  }
}
