// The POSIX renderer: cells into the exact bytes a terminal is sent.
#include <gtest/gtest.h>
#include <string>

#include "platform/posix/renderer.h"

TEST(Renderer, ColourMappingSwapsRedAndBlueAndSetsOnlyWhatChanges) {
  char sgr[32];
  const struct {
    uint16_t attr;
    int from;
    const char* sequence;
  } cases[] = {{0x07, -1, "\x1b[m"},      {0x09, -1, "\x1b[94;49m"}, {0x0C, -1, "\x1b[91;49m"},
               {0x4F, -1, "\x1b[97;41m"}, {0x1F, -1, "\x1b[97;44m"}, {0x70, -1, "\x1b[30;47m"},
               {0x08, -1, "\x1b[90;49m"}, {0x36, -1, "\x1b[33;46m"}, {0xF0, -1, "\x1b[30;107m"},
               {0x09, 0x07, "\x1b[94m"},  {0x1F, 0x4F, "\x1b[44m"},  {0x09, 0x4F, "\x1b[94;49m"},
               {0x07, 0x4F, "\x1b[m"},    {0x17, 0x07, "\x1b[44m"},  {0x0C, 0x09, "\x1b[91m"}};
  for (const auto& c : cases) {
    EXPECT_EQ(std::string(sgr, sgr_for_attr(c.attr, c.from, TerminalTraits{}, sgr)), c.sequence)
        << std::hex << c.attr << " from " << c.from;
  }
}

// What does not fit the frame's buffer is sent before it is added: nothing is written past it.
TEST(Renderer, AFrameLargerThanItsBufferGoesOutInSpills) {
  static FrameBytes frame;
  static std::string sent;
  frame.send = [](const char* bytes, size_t length) {
    sent.append(bytes, length);
    return true;
  };
  std::string all;
  for (const char c : {'a', 'b', 'c'}) {
    const std::string chunk(30000, c);
    frame_append(&frame, chunk.data(), chunk.size());
    all += chunk;
    ASSERT_LE(frame.length, sizeof frame.data);
  }
  frame_spill(&frame);
  EXPECT_EQ(sent, all);
  EXPECT_EQ(frame.spills, 2u);
}

namespace {

struct Terminal {
  ScreenBuffer back, front;
  bool valid = false;
  TerminalState shown = {-1, -1, -1, false};
  FrameBytes frame;
  explicit Terminal(int width = 20, int height = 4) {
    screen_init(&back, width, height, true);
    screen_init(&front, width, height, false);
    frame.length = 0;
  }
  std::string render() {
    frame.length = 0;
    render_frame(&back, &front, &valid, &shown, &frame);
    return std::string(frame.data, frame.length);
  }
  void write(const std::string& text) {
    for (unsigned char c : text) screen_write_byte(&back, c);
  }
  void write_at(int x, int y, const std::string& text) {
    screen_set_cursor(&back, x, y);
    write(text);
  }
};

} // namespace

TEST(Renderer, FirstFrameThenOnlyTheChanges) {
  static Terminal t;
  t.write("\xfe ab");
  EXPECT_EQ(
      t.render(),
      "\x1b[?25l\x0f\x1b(B\x1b[?7h\x1b[4l\x1b[?6l\x1b[r\x1b[m\x1b[2J\xe2\x96\xa0 ab\x1b[?25h");
  EXPECT_EQ(t.render(), "") << "an unchanged frame emits nothing";
  // Redrawn the same after a clear, as every status screen pass does: still nothing.
  screen_fill_chars(&t.back, ' ', 80, 0, 0);
  t.write_at(0, 0, "\xfe ab");
  EXPECT_EQ(t.render(), "");
  // One changed cell left of the cursor: a backspace reaches it, and the cursor ends where the
  // program left it without another move.
  t.write_at(3, 0, "c");
  EXPECT_EQ(t.render(), "\bc");
  t.back.attr = 0x0C;
  t.write_at(0, 2, "x");
  EXPECT_EQ(t.render(), "\x1b[3H\x1b[91mx");
  // The cursor alone moved.
  screen_set_cursor(&t.back, 5, 3);
  EXPECT_EQ(t.render(), "\x1b[4;6H");
}

TEST(Renderer, EachChangeIsReachedByTheShortestMove) {
  static Terminal t;
  t.write("0123456789012345678\n\n\nlast row");
  t.render();
  const struct {
    int x, y;
    const char* text;
    const char* frame;
  } cases[] = {
      // Two unchanged cells in the colour in force are written again: shorter than a move.
      {0, 0, "A", "\x1b[HA"},
      {3, 0, "B", "12B"},
      // Further right: a count.
      {15, 0, "C", "\x1b[11CC"},
      // Same column two rows down, and one to the left of it.
      {15, 2, "D", "\x1b[2B\bD"},
      // Far left on the same row.
      {1, 2, "E", "\x1b[15DE"},
      // From the last column the terminal waits to wrap: only an absolute move is sure.
      {19, 1, "F", "\x1b[2;20HF"},
      {0, 1, "G", "\x1b[AG"},
  };
  for (const auto& c : cases) {
    t.write_at(c.x, c.y, c.text);
    // Leave the program's cursor where the terminal's ends, so only the change's move shows.
    screen_set_cursor(&t.back, c.x + 1 < 20 ? c.x + 1 : 0, c.x + 1 < 20 ? c.y : c.y + 1);
    EXPECT_EQ(t.render().substr(0, std::string(c.frame).size()), c.frame) << c.text;
  }
}

TEST(Renderer, LargeChangesAreDrawnWithTheCursorHidden) {
  static Terminal t(80, 25);
  t.write("status");
  t.render();
  // A title bar's worth of cells changes colour: drawn in the open.
  t.back.attr = 0x1F;
  screen_fill_attrs(&t.back, 0x1F, 80, 0, 0);
  const std::string bar = t.render();
  EXPECT_EQ(bar.find("\x1b[?25l"), std::string::npos);
  EXPECT_EQ(bar.substr(0, 12), "\x1b[H\x1b[97;44ms");
  // The whole screen changes: hidden while drawing, shown again at the end.
  screen_fill_attrs(&t.back, 0x2F, 2000, 0, 0);
  const std::string all = t.render();
  EXPECT_EQ(all.substr(0, 6), "\x1b[?25l");
  EXPECT_EQ(all.substr(all.size() - 6), "\x1b[?25h");
}

TEST(Renderer, ScrollingAndRepaint) {
  static Terminal t;
  t.write("a\nb\nc\nd");
  t.render();
  t.write("\ne");
  // One row scrolled: the terminal scrolls too, and only the new row's cell is drawn.
  EXPECT_EQ(t.render(), "\b\ne");
  EXPECT_EQ(t.render(), "");
  // After a launch: another program may have left anything anywhere, in any colour. The
  // screen was cleared once; it is now written over, for a terminal keeps a cleared screen in
  // its scrollback. Blank row ends are erased.
  t.valid = false;
  t.shown = {2, 2, 0x07, true};
  EXPECT_EQ(t.render(),
            "\x1b[?25l\x0f\x1b(B\x1b[?7h\x1b[4l\x1b[?6l\x1b[r\x1b[mb\x1b[K\x1b[2Hc\x1b[K\x1b["
            "3Hd\x1b[K\x1b[4He\x1b[K\x1b[?25h");
}

TEST(Renderer, WithoutColoursBackgroundsAreReverseVideoAndColourChangesDrawNothing) {
  static Terminal t;
  t.shown.traits.colours = false;
  t.back.attr = 0x1F;
  t.write("bar");
  t.back.attr = 0x0C;
  t.write("red");
  EXPECT_EQ(
      t.render(),
      "\x1b[?25l\x0f\x1b(B\x1b[?7h\x1b[4l\x1b[?6l\x1b[r\x1b[m\x1b[2J\x1b[7mbar\x1b[mred\x1b[?25h");
  // The title bar's colour changes every second: the same reverse video, nothing to draw.
  screen_fill_attrs(&t.back, 0x2F, 3, 0, 0);
  EXPECT_EQ(t.render(), "");
}

TEST(Renderer, UtfEightCharactersOfTheTextTakeACellEachAndPassThrough) {
  static Terminal t(20, 2);
  t.back.utf8_text = true;
  const std::string text = "\xfe caf\xc3\xa9 \xe2\x82\xac|\xc3 \xc0\x80\xe2\x82";
  screen_write(&t.back, text.data(), text.size());
  EXPECT_EQ(t.back.cursor_x, 15); // nine characters, then six lone bytes
  const std::string frame = t.render();
  EXPECT_NE(frame.find("\u25a0 caf\u00e9 \u20ac|\u251c \u2514\u00c7\u0393\u00e9"),
            std::string::npos)
      << frame;
  // Code page bytes written one at a time stay code page bytes.
  static Terminal bytes(20, 2);
  bytes.back.utf8_text = true;
  bytes.write("caf\xc3\xa9");
  EXPECT_NE(bytes.render().find("caf\u251c\u2310"), std::string::npos);
}

// A wide character is sent whole and counts two columns; a write over its right half sends the
// blank the terminal shows in its left half too.
TEST(Renderer, WideCharactersAreDrawnWholeAndCountTwoColumns) {
  static Terminal t(10, 2);
  t.back.utf8_text = true;
  screen_write(&t.back,
               "\xe4\xb8\xad"
               "ab",
               5);
  t.render();
  screen_set_cursor(&t.back, 3, 0);
  screen_write(&t.back, "B", 1);
  EXPECT_EQ(t.render(), "\bB") << "after the wide character the terminal's cursor is at 4";
  screen_set_cursor(&t.back, 1, 0);
  screen_write(&t.back, "x", 1);
  EXPECT_EQ(t.render(), "\x1b[H x");
  screen_set_cursor(&t.back, 0, 0);
  screen_write(&t.back, "\xe4\xb8\xad", 3);
  EXPECT_EQ(t.render(), "\b\b\xe4\xb8\xad");
}
