// Console primitives and the output channels on the simulated console.
#include <gtest/gtest.h>

#include "console/console.h"
#include "platform/sim/sim.h"
#include "unit/sim_console.h"

TEST(Console, CursorGotoClampsBelowOne) {
  fresh_console();
  for (auto position : {std::pair<int, int>{0, 0}, {-5, 1}, {1, 1}}) {
    cursor_goto(10, 10);
    cursor_goto(position.first, position.second);
    expect_cursor(1, 1);
  }
  cursor_goto(81, 5); // outside the buffer: refused
  expect_cursor(1, 1);
  cursor_goto(80, 25);
  expect_cursor(80, 25);
}

TEST(Console, MoveCursorAppliesOneFlagOfEachGroupInOrder) {
  fresh_console();
  cursor_goto(10, 10);
  CursorMark mark = mark_cursor();
  EXPECT_EQ(mark.column, 10);
  EXPECT_EQ(mark.saved_row, 10);
  move_cursor(&mark, CUR_RIGHT | CUR_LEFT);
  expect_cursor(11, 10);
  move_cursor(&mark, CUR_UP | CUR_DOWN);
  expect_cursor(11, 9);
  move_cursor(&mark, CUR_LINE_START | CUR_LINE_END);
  expect_cursor(1, 9);
  EXPECT_EQ(mark.column, 1);
  move_cursor(&mark, CUR_LINE_END);
  expect_cursor(80, 9);
  // At column 1, CUR_LEFT moves nothing but still refreshes the mark from the cursor.
  cursor_goto(1, 4);
  move_cursor(&mark, CUR_LEFT);
  EXPECT_EQ(mark.column, 1);
  EXPECT_EQ(mark.row, 4);
  expect_cursor(1, 4);
  cursor_goto(5, 1);
  move_cursor(&mark, CUR_UP);
  expect_cursor(5, 1);
  // On the last row CUR_DOWN is refused by the console, but the mark holds the row below.
  cursor_goto(3, 25);
  move_cursor(&mark, CUR_DOWN);
  expect_cursor(3, 25);
  EXPECT_EQ(mark.row, 26);
  // Restore then save: the saved position is saved again.
  mark.saved_column = 7;
  mark.saved_row = 8;
  move_cursor(&mark, CUR_RESTORE | CUR_SAVE);
  expect_cursor(7, 8);
  EXPECT_EQ(mark.saved_column, 7);
  EXPECT_EQ(mark.saved_row, 8);
  const CursorMark before = mark;
  move_cursor(&mark, 0);
  expect_cursor(7, 8);
  EXPECT_EQ(mark.column, before.column);
  EXPECT_EQ(mark.row, before.row);
  EXPECT_EQ(mark.saved_column, before.saved_column);
  EXPECT_EQ(mark.saved_row, before.saved_row);
}

TEST(Console, ForegroundKeepsTheBackground) {
  fresh_console();
  set_text_attr(0x1F);
  set_foreground(12);
  EXPECT_EQ(current_text_attr(), 0x1C);
  set_text_attr(7);
  set_foreground(12);
  EXPECT_EQ(current_text_attr(), 12);
}

TEST(Console, ClearScreenBlanksTheWholeBufferInTheCurrentAttribute) {
  SimConfig config;
  config.buffer_rows = 50;
  config.window_rows = 25;
  sim_reset(config);
  sim_call([] {});
  cursor_goto(5, 40);
  con_print("text");
  set_text_attr(0x1E);
  clear_screen();
  EXPECT_EQ(sim_row_text(39), "");
  EXPECT_EQ(sim_cell_attr(79, 49), 0x1E);
  expect_cursor(1, 1);
  EXPECT_EQ(window_height(), 25);
  EXPECT_EQ(window_width(), 80);
}

TEST(Console, ChannelsWithStandardOutputOnTheConsole) {
  fresh_console();
  EXPECT_EQ(out_print("x\n"), 2);
  EXPECT_EQ(con_print("ab%s\n", "c"), 4);
  EXPECT_EQ(sim_row_text(0), "x");
  EXPECT_EQ(sim_row_text(1), "abc");
  expect_cursor(1, 3);
  EXPECT_EQ(con_putc(0x1FE), 0xFE);
}

TEST(Console, RedirectedStandardOutput) {
  fresh_console(true);
  EXPECT_EQ(window_height(), 0);
  EXPECT_EQ(window_width(), 0);
  EXPECT_EQ(cursor_column(), 0);
  EXPECT_EQ(current_text_attr(), 0);
  set_text_attr(0x4F);
  EXPECT_EQ(sim_screen().attr, 7);
  EXPECT_EQ(out_print("x\n"), 2);
  EXPECT_EQ(con_print("abc"), 3);
  EXPECT_EQ(sim_result().out, "x\r\n");
  EXPECT_EQ(sim_result().console, "abc");
  EXPECT_EQ(sim_row_text(0), "abc");
}

TEST(Console, NoConsoleDevice) {
  SimConfig config;
  config.has_console = false;
  sim_reset(config);
  sim_call([] {});
  EXPECT_EQ(con_putc('a'), -1);
  EXPECT_EQ(con_print("abc"), -1);
}
