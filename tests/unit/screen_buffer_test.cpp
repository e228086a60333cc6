// The screen buffer: text written into cells as a console writes it.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "platform/screen_buffer.h"

TEST(ScreenBuffer, TextWrittenAsOneRunEqualsTextWrittenByteByByte) {
  struct Case {
    std::string text;
    int x, y, scrolled; // where the cursor ends
  };
  const Case cases[] = {
      {std::string(45, 'w') + "\n", 0, 3, 0}, // past the last column, then a line feed
      {"abc\rX\bY\tZ\a!", 10, 0, 0},          // every byte that acts
      {"\b\bstart of row", 12, 0, 0},         // backspace in the first column stays
      {std::string(20, 'x') + "\n\n\n\n\n\nscrolled", 8, 3, 4}, // the last row scrolls
      {"\xfe tab\tat\tthe\tend\t\t\t", 0, 2, 0},                // tabs past the last column wrap
  };
  for (const Case& c : cases) {
    const std::string& text = c.text;
    static ScreenBuffer run, bytes;
    screen_init(&run, 20, 4, true);
    screen_init(&bytes, 20, 4, true);
    run.attr = bytes.attr = 0x1E;
    screen_write(&run, text.data(), text.size());
    for (unsigned char c : text) screen_write_byte(&bytes, c);
    EXPECT_EQ(run.cursor_x, bytes.cursor_x) << text;
    EXPECT_EQ(run.cursor_y, bytes.cursor_y) << text;
    EXPECT_EQ(run.scrolled, bytes.scrolled) << text;
    EXPECT_EQ(run.cursor_x, c.x) << text;
    EXPECT_EQ(run.cursor_y, c.y) << text;
    EXPECT_EQ(run.scrolled, c.scrolled) << text;
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

namespace {

// The buffer's rows as text: a foreign character as its code points in hex, its right half as
// '>', a byte as itself.
std::string cells_text(const ScreenBuffer& screen) {
  std::string text;
  char hex[16];
  for (int y = 0; y < screen.height; ++y) {
    if (y > 0) text += '|';
    for (int x = 0; x < screen.width; ++x) {
      const ScreenCell& cell = screen_row(&screen, y)[x];
      if (cell.kind == CELL_WIDE_RIGHT) {
        text += '>';
      } else if (cell.kind == CELL_FOREIGN) {
        text += '<';
        for (uint32_t point : screen.foreign[cell.ch]) {
          if (point == 0) break;
          snprintf(hex, sizeof hex, "%s%X", text.back() == '<' ? "" : "+", point);
          text += hex;
        }
        text += '>';
      } else {
        text += static_cast<char>(cell.ch);
      }
    }
  }
  return text;
}

} // namespace

// A cell is a column: a wide character takes two and is never cut in two, a mark joins the
// character written before it, even one that wrapped the row.
TEST(ScreenBuffer, WideCharactersTakeTwoCellsAndMarksJoin) {
  static ScreenBuffer screen;
  const auto write = [](const std::string& text) {
    screen_write(&screen, text.data(), text.size());
  };
  screen_init(&screen, 5, 3, true);
  screen.utf8_text = true;
  write("abcd\xe4\xb8\xad\xe4\xb8\xad"); // the first would straddle the last column
  EXPECT_EQ(cells_text(screen), "abcd |<4E2D>><4E2D>> |     ");
  EXPECT_EQ(screen.cursor_x, 4);
  screen_set_cursor(&screen, 1, 1); // over a right half: the left one is blanked
  write("x");
  EXPECT_EQ(cells_text(screen), "abcd | x<4E2D>> |     ");
  screen_set_cursor(&screen, 2, 1); // over a left half: the right one is blanked
  write("\xe2\x82\xac");
  EXPECT_EQ(cells_text(screen), "abcd | x<20AC>  |     ");
  screen_set_cursor(&screen, 4, 1);
  write("e\xcc\x81\xcc\xa3"); // in the last column, then two marks after the wrap
  EXPECT_EQ(cells_text(screen), "abcd | x<20AC> <65+301+323>|     ");
  write("\r\xcc\x81"); // a mark with nothing before it stands on a blank
  EXPECT_EQ(cells_text(screen), "abcd | x<20AC> <65+301+323>|<20+301>    ");
  screen_set_cursor(&screen, 0, 0);
  write("abc\xe4\xb8\xad");
  EXPECT_EQ(cells_text(screen), "abc<4E2D>>| x<20AC> <65+301+323>|<20+301>    ");
  screen_resize(&screen, 4, 3); // the new edge cuts the wide character
  EXPECT_EQ(cells_text(screen), "abc | x<20AC> |<20+301>   ");
  screen_set_cursor(&screen, 0, 0);
  write("a\xe4\xb8\xad");
  screen_fill_chars(&screen, '.', 1, 2, 0); // a fill over a right half leaves no half either
  EXPECT_EQ(cells_text(screen), "a . | x<20AC> |<20+301>   ");
  screen_set_cursor(&screen, 2, 0);
  write("\xe4\xb8\xad");
  screen_fill_chars(&screen, '-', 2, 1, 0); // and one that ends on a left half
  EXPECT_EQ(cells_text(screen), "a-- | x<20AC> |<20+301>   ");
  // A character holds four code points: the fourth mark is dropped, read no further (ASan).
  screen_set_cursor(&screen, 1, 2);
  write("o\xcc\x81\xcc\xa3\xcc\x82\xcc\x83");
  EXPECT_EQ(cells_text(screen), "a-- | x<20AC> |<20+301><6F+301+323+302>  ");
  // With the foreign characters' table full, a new one's cells hold stand-ins.
  screen.foreign_count = FOREIGN_MAX;
  screen_set_cursor(&screen, 0, 2);
  write("\xe4\xb8\x80\xc3\xa9");
  EXPECT_EQ(cells_text(screen), "a-- | x<20AC> |??? ");
  // A fill from the first column's right half; a tab to the next stop of eight.
  screen_init(&screen, 10, 1, true);
  screen.utf8_text = true;
  write("\xe4\xb8\xad\tb");
  screen_fill_chars(&screen, '+', 1, 1, 0);
  EXPECT_EQ(cells_text(screen), " +      b ");
}
