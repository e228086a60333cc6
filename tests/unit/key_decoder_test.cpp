// The POSIX key decoder: terminal bytes into the key events the console would report.
#include <gtest/gtest.h>
#include <string>

#include "platform/posix/key_decoder.h"

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
  // Overlong forms and surrogates are no characters, as on the screen: C0 9B is not ESC, and a
  // bad second byte is known before the rest arrives.
  for (const char* bad : {"\xc0\x9b", "\xc1\xbf", "\xe0\x80", "\xed\xa0", "\xf4\x90", "\xf5"}) {
    const Decoded d = decode(bad);
    EXPECT_EQ(d.result, DecodeResult::skip) << bad;
    EXPECT_EQ(d.consumed, 1u) << bad;
  }
}

TEST(KeyDecoder, LoneEscapeAndSplitSequences) {
  EXPECT_EQ(decode("\x1b").result, DecodeResult::need_more);
  EXPECT_EQ(decode("\x1b", true).event.ch, 27);
  // A sequence split over two reads needs more until its final byte arrives.
  EXPECT_EQ(decode("\x1b[").result, DecodeResult::need_more);
  EXPECT_EQ(decode("\x1b[1;").result, DecodeResult::need_more);
  EXPECT_EQ(decode("\x1bO").result, DecodeResult::need_more);
  // Nothing more came with them: ESC [ and ESC O are Alt with the key, a longer sequence cut
  // short is dropped whole; none of them is ESC, which would stop the run.
  const Decoded alt_bracket = decode("\x1b[", true);
  EXPECT_EQ(alt_bracket.result, DecodeResult::key);
  EXPECT_EQ(alt_bracket.event.scan_code, 26);
  EXPECT_EQ(alt_bracket.event.control_state, static_cast<uint32_t>(LEFT_ALT_DOWN));
  EXPECT_EQ(decode("\x1bO", true).event.scan_code, 24);
  for (const char* cut : {"\x1b[1;", "\x1b[[", "\x1bO5", "\x1b\xe2\x82"}) {
    const Decoded d = decode(cut, true);
    EXPECT_EQ(d.result, DecodeResult::skip) << cut + 1;
    EXPECT_EQ(d.consumed, std::string(cut).size()) << cut + 1;
  }
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
