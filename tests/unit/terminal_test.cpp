// The POSIX terminal's pure parts: key decoding, the renderer and the code page.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "platform/console_frame.h"
#include "platform/cp437.h"
#include "platform/posix/key_decoder.h"
#include "platform/posix/renderer.h"

namespace {

struct Decoded {
  DecodeResult result;
  InputEvent event;
  size_t consumed;
};

Decoded decode(const std::string& bytes, bool complete = false) {
  Decoded d{DecodeResult::skip, {}, 0};
  d.result = decode_key(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                        complete, &d.event, &d.consumed);
  return d;
}

void expect_key(const std::string& bytes, unsigned char ch, uint16_t scan, uint32_t state) {
  const Decoded d = decode(bytes);
  ASSERT_EQ(d.result, DecodeResult::key) << bytes.substr(1);
  EXPECT_EQ(d.consumed, bytes.size()) << bytes.substr(1);
  EXPECT_EQ(d.event.ch, ch) << bytes.substr(1);
  EXPECT_EQ(d.event.scan_code, scan) << bytes.substr(1);
  EXPECT_EQ(d.event.control_state, state) << bytes.substr(1);
  EXPECT_TRUE(d.event.key_down);
}

const uint32_t E = ENHANCED_KEY_FLAG;

} // namespace

TEST(KeyDecoder, CursorKeysInCsiAndSs3Forms) {
  const struct {
    char final;
    uint16_t scan;
  } keys[] = {{'A', 72}, {'B', 80}, {'C', 77}, {'D', 75}, {'H', 71}, {'F', 79}};
  for (const auto& k : keys) {
    expect_key(std::string("\x1b[") + k.final, 0, k.scan, E);
    expect_key(std::string("\x1bO") + k.final, 0, k.scan, E);
    expect_key(std::string("\x1b[1;2") + k.final, 0, k.scan, E | SHIFT_DOWN);
    expect_key(std::string("\x1b[1;5") + k.final, 0, k.scan, E | LEFT_CTRL_DOWN);
    expect_key(std::string("\x1b[1;3") + k.final, 0, k.scan, E | LEFT_ALT_DOWN);
  }
}

TEST(KeyDecoder, TildeKeysAndFunctionKeys) {
  const struct {
    const char* sequence;
    uint16_t scan;
    uint32_t state;
  } keys[] = {{"\x1b[1~", 71, E},
              {"\x1b[2~", 82, E},
              {"\x1b[3~", 83, E},
              {"\x1b[4~", 79, E},
              {"\x1b[5~", 73, E},
              {"\x1b[6~", 81, E},
              {"\x1b[7~", 71, E},
              {"\x1b[8~", 79, E},
              {"\x1bOP", 59, 0},
              {"\x1bOS", 62, 0},
              {"\x1b[15~", 63, 0},
              {"\x1b[17~", 64, 0},
              {"\x1b[21~", 68, 0},
              {"\x1b[23~", 87, 0},
              {"\x1b[24~", 88, 0},
              {"\x1b[[A", 59, 0},
              {"\x1b[[E", 63, 0},
              {"\x1b[1;2P", 59, SHIFT_DOWN},
              {"\x1b[5;5~", 73, E | LEFT_CTRL_DOWN},
              {"\x1b[24;2~", 88, SHIFT_DOWN},
              {"\x1bO5P", 59, LEFT_CTRL_DOWN},
              {"\x1b[Z", 15, SHIFT_DOWN}};
  for (const auto& k : keys) expect_key(k.sequence, 0, k.scan, k.state);
}

TEST(KeyDecoder, PlainBytes) {
  expect_key("a", 'a', 0, 0);
  expect_key("\r", 13, 28, 0);
  expect_key("\t", 9, 15, 0);
  expect_key("\x7f", 8, 14, 0);
  expect_key("\x03", 3, 0, LEFT_CTRL_DOWN);
  expect_key(std::string(1, '\0'), 0, 3, LEFT_CTRL_DOWN);
  expect_key("\xc3\xa9", 0x82, 0, 0); // é is 0x82 in the OEM code page
  EXPECT_EQ(decode("\xe2\x82").result, DecodeResult::need_more);
  EXPECT_EQ(decode("\xe2\x82", true).result, DecodeResult::skip);
  EXPECT_EQ(decode("\xf0\x9f\x98\x80").result, DecodeResult::skip); // no such glyph
}

TEST(KeyDecoder, LoneEscapeAndSplitSequences) {
  EXPECT_EQ(decode("\x1b").result, DecodeResult::need_more);
  EXPECT_EQ(decode("\x1b", true).event.ch, 27);
  // A sequence split over two reads needs more until its final byte arrives.
  EXPECT_EQ(decode("\x1b[").result, DecodeResult::need_more);
  EXPECT_EQ(decode("\x1b[1;").result, DecodeResult::need_more);
  EXPECT_EQ(decode("\x1bO").result, DecodeResult::need_more);
  // Cut short for good: the ESC alone, and the rest read after it.
  const Decoded cut = decode("\x1b[", true);
  EXPECT_EQ(cut.event.ch, 27);
  EXPECT_EQ(cut.consumed, 1u);
  // ESC and a key at once is that key with Alt, by its scan code and without a character; ESC
  // after ESC is a held-down ESC repeating.
  expect_key("\x1bx", 0, 45, LEFT_ALT_DOWN);
  expect_key("\x1b?", 0, 53, LEFT_ALT_DOWN);
  expect_key("\x1b\r", 0, 28, LEFT_ALT_DOWN);
  const Decoded esc_esc = decode("\x1b\x1b");
  EXPECT_EQ(esc_esc.event.ch, 27);
  EXPECT_EQ(esc_esc.consumed, 1u);
  // Two keys in one read: only the first is taken.
  const Decoded first = decode("\x1b[Aq");
  EXPECT_EQ(first.consumed, 3u);
}

TEST(KeyDecoder, UnknownSequencesAreSkippedWhole) {
  for (const char* sequence :
       {"\x1b[200~", "\x1b[I", "\x1b[?1;2c", "\x1b[E", "\x1b[[Z", "\x1bOx"}) {
    const Decoded d = decode(sequence);
    EXPECT_EQ(d.result, DecodeResult::skip) << sequence + 1;
    EXPECT_EQ(d.consumed, std::string(sequence).size()) << sequence + 1;
  }
}

TEST(Cp437, GlyphsAndUtf8) {
  char out[4];
  EXPECT_EQ(std::string(out, utf8_encode(cp437_glyph(0xFE), out)), "\xe2\x96\xa0"); // ■
  EXPECT_EQ(std::string(out, utf8_encode(cp437_glyph(0xB3), out)), "\xe2\x94\x82"); // │
  EXPECT_EQ(std::string(out, utf8_encode(cp437_glyph(0x82), out)), "\xc3\xa9");     // é
  EXPECT_EQ(std::string(out, utf8_encode(cp437_glyph('A'), out)), "A");
  EXPECT_EQ(std::string(out, utf8_encode(cp437_glyph(3), out)), "\xe2\x99\xa5"); // ♥
  EXPECT_EQ(cp437_glyph(0), static_cast<uint32_t>(' '));
  EXPECT_EQ(std::string(out, utf8_encode(0x1F600, out)), "\xf0\x9f\x98\x80");
  for (int byte = 128; byte < 256; ++byte) {
    EXPECT_EQ(cp437_from_unicode(cp437_glyph(static_cast<unsigned char>(byte))), byte);
  }
}

TEST(Cp437, OneByteAGlyphOutsideUtf8) {
  const auto shown = [](GlyphSet set, unsigned char byte) {
    glyphs_set(set);
    char out[4];
    const std::string glyph(out, glyph_bytes_for(byte, out));
    glyphs_set(GlyphSet::utf8);
    return glyph;
  };
  EXPECT_EQ(shown(GlyphSet::latin1, 0x82), "\xe9"); // é is ISO-8859-1's own
  EXPECT_EQ(shown(GlyphSet::latin1, 0xFE), "#");
  EXPECT_EQ(shown(GlyphSet::ascii, 0x82), "?");
  for (unsigned char byte : {0xB3, 0xBA}) EXPECT_EQ(shown(GlyphSet::ascii, byte), "|");
  EXPECT_EQ(shown(GlyphSet::ascii, 0xC4), "-");
  EXPECT_EQ(shown(GlyphSet::ascii, 0xDA), "+");
  EXPECT_EQ(shown(GlyphSet::ascii, 'x'), "x");
  // Every byte is one byte, so that each glyph takes the column the renderer counts.
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(shown(GlyphSet::ascii, static_cast<unsigned char>(byte)).size(), 1u);
  }
}

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
    EXPECT_EQ(std::string(sgr, sgr_for_attr(c.attr, c.from, sgr)), c.sequence)
        << std::hex << c.attr << " from " << c.from;
  }
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
  EXPECT_EQ(t.render(), "\x1b[?25l\x1b[m\x1b[H\x1b[2J\xe2\x96\xa0 ab\x1b[?25h");
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
            "\x1b[?25l\x1b[H\x1b[mb\x1b[K\x1b[2Hc\x1b[K\x1b[3Hd\x1b[K\x1b[4He\x1b[K\x1b[?25h");
}

TEST(Renderer, WithoutColoursBackgroundsAreReverseVideoAndColourChangesDrawNothing) {
  renderer_show_colours(false);
  static Terminal t;
  t.back.attr = 0x1F;
  t.write("bar");
  t.back.attr = 0x0C;
  t.write("red");
  EXPECT_EQ(t.render(), "\x1b[?25l\x1b[m\x1b[H\x1b[2J\x1b[7mbar\x1b[mred\x1b[?25h");
  // The title bar's colour changes every second: the same reverse video, nothing to draw.
  screen_fill_attrs(&t.back, 0x2F, 3, 0, 0);
  EXPECT_EQ(t.render(), "");
  renderer_show_colours(true);
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
