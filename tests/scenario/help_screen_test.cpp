// The help pager at several window heights, its keys at both prompts, and the title bar.
#include <gtest/gtest.h>

#include "console/help_screen.h"
#include "scenario/sim_helpers.h"

namespace {

const std::string more = "-- More (ESC quits) --";
const std::string end = "-- End - ESC to Close --";

struct Key {
  unsigned char ch;
  uint16_t scan;
  uint32_t state;
};

const Key plain = {'a', 30, 0};
const Key f1 = {0, 59, 0};
Key grey(uint16_t scan) {
  return Key{0, scan, ENHANCED_KEY_FLAG};
}
const uint16_t home = 71, up = 72, page_up = 73, end_key = 79, down = 80, page_down = 81;

// Runs "vorbelin x" (the help screen) in a window of the given height; the keys come a second
// apart and the run ends with ESC.
SimRun help_run(int rows, const std::vector<Key>& keys, bool redirected = false) {
  SimConfig config;
  config.window_rows = rows;
  config.buffer_rows = 300;
  config.stdout_redirected = redirected;
  sim_reset(config);
  int64_t at = 1000;
  for (const Key& key : keys) {
    sim_key_char(at, key.ch, key.scan, key.state);
    at += 1000;
  }
  sim_key_char(at, 27, 1);
  return sim_run({"x"});
}

// The rows of a screen snapshot.
std::vector<std::string> rows_of(const std::string& screen) {
  std::vector<std::string> rows;
  size_t start = 0;
  for (size_t at = screen.find('\n'); at != std::string::npos; at = screen.find('\n', start)) {
    rows.push_back(screen.substr(start, at - start));
    start = at + 1;
  }
  rows.push_back(screen.substr(start));
  return rows;
}

std::string line(int n) {
  std::string text = help_lines[n];
  if (n == 0) text.resize(79, ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// Rows from..from+count-1 hold help lines first..first+count-1, then the prompt follows.
void expect_page(const std::string& screen, int row, int first, int last,
                 const std::string& prompt) {
  const std::vector<std::string> rows = rows_of(screen);
  ASSERT_GT(rows.size(), static_cast<size_t>(row + last - first + 1)) << screen;
  for (int n = first; n <= last; ++n) EXPECT_EQ(rows[row + n - first], line(n)) << "line " << n;
  EXPECT_EQ(rows[row + last - first + 1], prompt);
}

} // namespace

TEST(Help, TallWindowsShowOnePageThenBothPrompts) {
  for (int rows : {30, 27}) {
    const SimRun run = help_run(rows, {plain});
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.key_screens.size(), 2u);
    expect_page(run.key_screens[0], 0, 0, 24, more);
    expect_page(run.key_screens[1], 0, 0, 24, end);
    EXPECT_EQ(run.window_calls.back(), "large icon off");
  }
}

TEST(Help, TwentySixRows) {
  const SimRun run = help_run(26, {plain});
  expect_page(run.key_screens[0], 0, 0, 23, more);
  expect_page(run.key_screens[1], 0, 0, 24, end);
}

TEST(Help, TwentyFiveRowsAsTheCommonConsole) {
  const SimRun enter = help_run(25, {plain});
  expect_page(enter.key_screens[0], 0, 0, 22, more);
  // The empty line 23 leaves the prompt readable; line 24 and the end prompt follow.
  const std::vector<std::string> rows = rows_of(enter.key_screens[1]);
  EXPECT_EQ(rows[23], more);
  EXPECT_EQ(rows[24], line(24));
  EXPECT_EQ(rows[25], end);
  for (uint16_t key : {down, page_down, end_key}) {
    const SimRun next = help_run(25, {grey(key)});
    expect_page(next.key_screens[1], 0, 23, 24, end);
  }
  for (uint16_t key : {up, page_up, home}) {
    const SimRun back = help_run(25, {grey(key)});
    expect_page(back.key_screens[1], 0, 0, 22, more);
  }
  // At the end prompt every key but ESC starts again from line 0.
  for (Key key : {plain, grey(up), grey(home), grey(down), f1}) {
    const SimRun again = help_run(25, {plain, key});
    expect_page(again.key_screens[2], 0, 0, 22, more);
  }
}

TEST(Help, TwelveRows) {
  const SimRun run = help_run(12, {plain, plain, grey(up)});
  expect_page(run.key_screens[0], 0, 0, 9, more);
  // Line 10 is empty, so the prompt it is written over stays readable.
  EXPECT_EQ(rows_of(run.key_screens[1])[10], more);
  expect_page(run.key_screens[1], 11, 11, 19, more);
  EXPECT_EQ(rows_of(run.key_screens[2]).back(), end);
  // Up at the end prompt: the next pass starts at line 10.
  expect_page(run.key_screens[3], 0, 10, 19, more);
  const SimRun jump = help_run(12, {grey(end_key)});
  expect_page(jump.key_screens[1], 0, 20, 24, end);
}

TEST(Help, SevenRowsShowTheLastPageAgainAfterUp) {
  // 25 lines are a multiple of 5: End leaves no lines to show before the end prompt.
  const SimRun run = help_run(7, {grey(end_key), grey(page_up)});
  EXPECT_EQ(run.key_screens[1], end);
  expect_page(run.key_screens[2], 0, 20, 24, more);
}

TEST(Help, UpAtTheFirstPauseNeverGoesBelowLineZero) {
  const SimRun run = help_run(12, {grey(up), grey(page_up)});
  expect_page(run.key_screens[1], 0, 0, 9, more);
  expect_page(run.key_screens[2], 0, 0, 9, more);
}

TEST(Help, KeysWhoseFirstCodeIsZeroArePlainKeys) {
  const SimRun run = help_run(12, {f1});
  expect_page(run.key_screens[1], 11, 11, 19, more);
}

TEST(Help, TwoRowsPageLineByLine) {
  const SimRun run = help_run(2, {plain, plain});
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.key_screens.size(), 3u);
  EXPECT_EQ(count_of(run.key_screens[0], more), 1);
  EXPECT_NE(run.key_screens[0].find(line(1)), std::string::npos);
  EXPECT_EQ(run.key_screens[0].find(line(2)), std::string::npos);
}

TEST(Help, RedirectedOutputPausesAfterOddLines) {
  const SimRun run = help_run(25, {plain, plain}, true);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::string("\r\n") + "\r\r\n" + help_lines[2] + "\r\r\n" + help_lines[3] +
                         "\r\r\n" + help_lines[4] + "\r\r\n" + help_lines[5] + "\r\r\n");
  std::string banner = help_lines[0];
  banner.resize(79, ' ');
  EXPECT_EQ(run.console, banner + more + "\n" + more + "\n" + more + "\n");
}

TEST(Help, TitleBarIsEightyColumnsInTheGivenBackground) {
  sim_reset(SimConfig());
  sim_call([] { draw_title_bar(0x30); });
  EXPECT_EQ(sim_cell_attr(0, 0), 0x3F);
  EXPECT_EQ(sim_cell_attr(79, 0), 0x3F);
  EXPECT_EQ(sim_cell_attr(0, 1), 0x07);
  EXPECT_EQ(sim_screen().cursor_y, 1);
  EXPECT_EQ(sim_screen().attr, 0x07);
}
