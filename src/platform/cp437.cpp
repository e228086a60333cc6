// Code page 437 glyphs.
#include "platform/cp437.h"

#include <climits>
#include <cwchar>

namespace {

const uint16_t low_glyphs[32] = {0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
                                 0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
                                 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
                                 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};

const uint16_t high_glyphs[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

struct Cp437State {
  GlyphSet glyph_set = GlyphSet::utf8;
  bool chosen = false; // by the backend, from what the terminal shows
};
Cp437State state;

// A character of one column for a glyph that ASCII lacks: the square and blocks as #, the
// frame-drawing lines as |, - and +.
char ascii_stand_in(uint32_t code_point) {
  if (code_point == 0x25A0 || (code_point >= 0x2580 && code_point <= 0x2593)) return '#';
  if (code_point == 0x2502 || code_point == 0x2551) return '|';
  if (code_point == 0x2500 || code_point == 0x2550) return '-';
  if (code_point >= 0x2500 && code_point <= 0x257F) return '+';
  return '?';
}

} // namespace

void glyphs_set(GlyphSet set) {
  state.glyph_set = set;
  state.chosen = true;
}

void cp437_reset_state() {
  state = Cp437State{};
}

bool glyphs_chosen() {
  return state.chosen;
}

GlyphSet glyphs_in_use() {
  return state.glyph_set;
}

size_t glyph_bytes_for(unsigned char byte, char* out) {
  const uint32_t code_point = cp437_glyph(byte);
  if (state.glyph_set == GlyphSet::utf8) return utf8_encode(code_point, out);
  const bool own = code_point < 0x80 || (state.glyph_set == GlyphSet::latin1 &&
                                         code_point >= 0xA0 && code_point <= 0xFF);
  out[0] = own ? static_cast<char>(code_point) : ascii_stand_in(code_point);
  return 1;
}

size_t foreign_glyph_bytes(const uint32_t* points, int count, int columns, char* out) {
  size_t used = 0;
  for (int i = 0; i < count && points[i] != 0; ++i) {
    if (state.glyph_set == GlyphSet::utf8) {
      used += utf8_encode(points[i], out + used);
      continue;
    }
#if defined(__STDC_ISO_10646__) && MB_LEN_MAX <= 16
    // wchar_t holds code points: the locale's converter knows what its set has.
    char bytes[MB_LEN_MAX];
    mbstate_t state{};
    const size_t size = wcrtomb(bytes, static_cast<wchar_t>(points[i]), &state);
    if (size != static_cast<size_t>(-1) && used + size <= GLYPH_BYTES_MAX - 4) {
      for (size_t k = 0; k < size; ++k) out[used++] = bytes[k];
      continue;
    }
#endif
    if (i > 0) continue;
    for (int k = 0; k < columns; ++k) out[used++] = '?';
    return used;
  }
  return used;
}

uint32_t cp437_glyph(unsigned char byte) {
  if (byte < 32) return low_glyphs[byte];
  if (byte == 127) return 0x2302;
  if (byte < 128) return byte;
  return high_glyphs[byte - 128];
}

size_t utf8_encode(uint32_t code_point, char* out) {
  if (code_point < 0x80) {
    out[0] = static_cast<char>(code_point);
    return 1;
  }
  if (code_point < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code_point >> 6));
    out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 2;
  }
  if (code_point < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (code_point >> 12));
    out[1] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (code_point >> 18));
  out[1] = static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (code_point & 0x3F));
  return 4;
}

int cp437_from_unicode(uint32_t code_point) {
  if (code_point < 128) return static_cast<int>(code_point);
  for (int i = 0; i < 128; ++i) {
    if (high_glyphs[i] == code_point) return 128 + i;
  }
  return -1;
}
