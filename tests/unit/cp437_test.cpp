// Code page 437's glyphs, in UTF-8 and one byte a glyph.
#include <gtest/gtest.h>
#include <string>

#include "platform/cp437.h"

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
