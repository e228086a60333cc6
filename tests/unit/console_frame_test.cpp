// The console frame: the rectangle of changed cells and the row a text reaches.
#include <gtest/gtest.h>
#include <string>

#include "platform/console_frame.h"

TEST(ConsoleFrame, TheChangedRectangle) {
  static ScreenBuffer back, front;
  screen_init(&back, 20, 4, true);
  front = back;
  CellRect rect = {0, 0, 0, 0};
  EXPECT_FALSE(frame_changed_rect(&back, &front, back.height, &rect));
  // A character on row 1 and an attribute alone on row 3: one rectangle around both.
  screen_set_cursor(&back, 12, 1);
  screen_write(&back, "ab", 2);
  screen_fill_attrs(&back, 0x4F, 3, 4, 3);
  ASSERT_TRUE(frame_changed_rect(&back, &front, back.height, &rect));
  EXPECT_EQ(rect.left, 4);
  EXPECT_EQ(rect.top, 1);
  EXPECT_EQ(rect.right, 13);
  EXPECT_EQ(rect.bottom, 3);
}

// Where a text ends, as the frame predicts it and as the buffer writes it.
TEST(ConsoleFrame, TheRowATextReachesIsTheBuffers) {
  struct Case {
    int width, x;
    bool moved; // the cursor was moved to column x, else a character was written before it
    bool table_full;
    std::string text;
    int row;
  };
  const Case cases[] = {
      // From column 14 of row 1, right after a character: wrapping at column 20, tabs, line
      // feeds, and past the last row.
      {20, 14, false, false, "123456", 2},
      {20, 14, false, false, "12345", 1},
      {20, 14, false, false, "\t", 1},
      {20, 14, false, false, "\t\t", 2},
      {20, 14, false, false, "\n\n", 3},
      {20, 14, false, false, "\r\n\n\n\n", 5},
      {20, 14, false, false, "\b\b\b", 1},
      {20, 19, false, false, "\xe4\xb8\xad", 2}, // a wide character does not straddle the edge
      {20, 19, false, false, "\xcc\x81", 1},     // a mark joins the character before it
      // A mark right after a move to the last column stands on a blank of its own.
      {80, 79, true, false, "\r\xcc\x81", 1},
      {80, 79, true, false, "\xcc\x81", 2},
      {10, 9, true, false, "\xcc\x81", 2},
      // With no room left in the foreign characters' table, each still takes its columns.
      {20, 14, false, true, "\xe4\xb8\xad\xe4\xb8\xad", 1},
      {20, 14, false, true, "\xe4\xb8\xad\xe4\xb8\xad\xe4\xb8\xad", 2},
  };
  for (const Case& c : cases) {
    static ScreenBuffer screen, written;
    screen_init(&screen, c.width, 4, true);
    screen.utf8_text = true;
    if (c.table_full) screen.foreign_count = FOREIGN_MAX;
    if (c.moved) {
      screen_set_cursor(&screen, c.x, 1);
    } else {
      screen_set_cursor(&screen, c.x - 1, 1);
      screen_write(&screen, "a", 1);
    }
    EXPECT_EQ(frame_row_after(&screen, c.text.data(), c.text.size()), c.row) << c.text;
    written = screen;
    screen_write(&written, c.text.data(), c.text.size());
    if (c.row < screen.height) {
      EXPECT_EQ(written.cursor_y, c.row) << "the buffer agrees: " << c.text;
    }
  }
}

TEST(ConsoleFrame, FillsTheCopyHolds) {
  // A copy of the top 4 rows, 20 wide, of a console of 100 rows.
  static ScreenBuffer copy;
  screen_init(&copy, 20, 4, true);
  EXPECT_TRUE(fill_is_whole_clear(2000, 0, 0, 20, 100));
  EXPECT_TRUE(fill_is_whole_clear(5000, 0, 0, 20, 100)) << "more than every cell";
  EXPECT_FALSE(fill_is_whole_clear(1999, 0, 0, 20, 100));
  EXPECT_FALSE(fill_is_whole_clear(2000, 1, 0, 20, 100));
  EXPECT_TRUE(copy_holds_fill(&copy, 2000, 0, 0, 100)) << "the top of a whole clear";
  EXPECT_TRUE(copy_holds_fill(&copy, 80, 0, 0, 100)) << "every cell of the copy";
  EXPECT_TRUE(copy_holds_fill(&copy, 5, 15, 3, 100)) << "the end of the last row";
  EXPECT_FALSE(copy_holds_fill(&copy, 6, 15, 3, 100)) << "one cell past the copy";
  EXPECT_FALSE(copy_holds_fill(&copy, 1, 0, 4, 100)) << "a row below the copy";
  EXPECT_FALSE(copy_holds_fill(&copy, 1, 20, 0, 100)) << "past the width";
  EXPECT_FALSE(copy_holds_fill(&copy, 1, -1, 0, 100));
  EXPECT_FALSE(copy_holds_fill(&copy, 0xFFFFFFFFu, 5, 0, 100)) << "a count that would wrap";
}

TEST(ConsoleFrame, FillsStartAndStopTheFrame) {
  FrameState state = {false, false, false, false};
  // Unframed: a whole clear of characters, then of attributes, starts the frame; a part does not.
  FillPlan plan = plan_fill(&state, true, false, false, true);
  EXPECT_TRUE(plan.into_console && !plan.into_copy && !state.cleared_chars);
  plan_fill(&state, true, false, true, true);
  EXPECT_TRUE(state.cleared_chars);
  EXPECT_FALSE(plan_fill(&state, false, false, true, false).start_framing) << "too wide a console";
  plan_fill(&state, true, false, true, true);
  EXPECT_TRUE(plan_fill(&state, false, false, true, true).start_framing);
  EXPECT_FALSE(state.cleared_chars);
  // Framed (as the start leaves it): a pass's whole clear goes to the copy alone, and sends the
  // whole copy at the next flush.
  state = FrameState{true, false, false, false};
  plan = plan_fill(&state, true, true, true, true);
  EXPECT_TRUE(plan.into_copy && !plan.into_console && state.send_whole);
  // A fill the copy cannot hold stops the frame and goes to the console; the next whole clear,
  // framed again, reaches the rows below the copy once, characters and attributes.
  plan = plan_fill(&state, true, false, false, true);
  EXPECT_TRUE(plan.stop_framing && plan.into_console && !state.framed && state.below_written);
  state.framed = true;
  EXPECT_TRUE(plan_fill(&state, true, true, true, true).into_console);
  EXPECT_TRUE(plan_fill(&state, false, true, true, true).into_console);
  EXPECT_FALSE(state.below_written);
  EXPECT_FALSE(plan_fill(&state, true, true, true, true).into_console);
}
