// Key decoding for xterm, tmux and the Linux console: CSI and SS3 sequences with modifiers.
#include "platform/posix/key_decoder.h"

#include <initializer_list>

#include "platform/cp437.h"
#include "platform/screen_buffer.h"

namespace {

constexpr unsigned char esc = 27;

// Scan codes of the keys that have no character.
enum : uint16_t {
  SCAN_ESC = 1,
  SCAN_2 = 3,
  SCAN_BACKSPACE = 14,
  SCAN_TAB = 15,
  SCAN_ENTER = 28,
  SCAN_F1 = 59,
  SCAN_HOME = 71,
  SCAN_UP = 72,
  SCAN_PGUP = 73,
  SCAN_LEFT = 75,
  SCAN_RIGHT = 77,
  SCAN_END = 79,
  SCAN_DOWN = 80,
  SCAN_PGDN = 81,
  SCAN_INSERT = 82,
  SCAN_DELETE = 83,
  SCAN_F11 = 87,
  SCAN_F12 = 88,
};

InputEvent key_event(unsigned char ch, uint16_t scan_code, uint32_t state) {
  return InputEvent{INPUT_KEY_EVENT, true, ch, scan_code, state};
}

// xterm's modifier parameter: 1 + (1 Shift, 2 Alt, 4 Ctrl, 8 Meta).
uint32_t modifier_state(int parameter) {
  if (parameter < 2) return 0;
  const int bits = parameter - 1;
  uint32_t state = 0;
  if (bits & 1) state |= SHIFT_DOWN;
  if (bits & (2 | 8)) state |= LEFT_ALT_DOWN;
  if (bits & 4) state |= LEFT_CTRL_DOWN;
  return state;
}

// The key named by a sequence's final byte; 0 when it names none.
uint16_t scan_for_letter(unsigned char final, bool* enhanced) {
  *enhanced = true;
  switch (final) {
  case 'A': return SCAN_UP;
  case 'B': return SCAN_DOWN;
  case 'C': return SCAN_RIGHT;
  case 'D': return SCAN_LEFT;
  case 'H': return SCAN_HOME;
  case 'F': return SCAN_END;
  default: break;
  }
  *enhanced = false;
  if (final >= 'P' && final <= 'S') return static_cast<uint16_t>(SCAN_F1 + (final - 'P'));
  return 0;
}

// The key named by the number of a "CSI n ~" sequence; 0 when it names none.
uint16_t scan_for_tilde(int number, bool* enhanced) {
  *enhanced = true;
  switch (number) {
  case 1:
  case 7: return SCAN_HOME;
  case 2: return SCAN_INSERT;
  case 3: return SCAN_DELETE;
  case 4:
  case 8: return SCAN_END;
  case 5: return SCAN_PGUP;
  case 6: return SCAN_PGDN;
  default: break;
  }
  *enhanced = false;
  if (number >= 11 && number <= 15) return static_cast<uint16_t>(SCAN_F1 + number - 11);
  if (number >= 17 && number <= 21) return static_cast<uint16_t>(SCAN_F1 + 5 + number - 17);
  if (number == 23) return SCAN_F11;
  if (number == 24) return SCAN_F12;
  return 0;
}

DecodeResult named_key(uint16_t scan_code, bool enhanced, uint32_t state, InputEvent* event) {
  if (scan_code == 0) return DecodeResult::skip;
  const uint32_t enhanced_flag = enhanced ? static_cast<uint32_t>(ENHANCED_KEY_FLAG) : 0u;
  *event = key_event(0, scan_code, state | enhanced_flag);
  return DecodeResult::key;
}

// CSI: ESC [ parameters intermediates final. bytes[0..1] are ESC [.
DecodeResult decode_csi(const unsigned char* bytes, size_t length, InputEvent* event,
                        size_t* consumed) {
  // The Linux console's F1 to F5: ESC [ [ A to E.
  if (length >= 3 && bytes[2] == '[') {
    if (length < 4) return DecodeResult::need_more;
    *consumed = 4;
    if (bytes[3] < 'A' || bytes[3] > 'E') return DecodeResult::skip;
    return named_key(static_cast<uint16_t>(SCAN_F1 + bytes[3] - 'A'), false, 0, event);
  }
  int parameters[2] = {0, 0};
  int count = 0;
  size_t i = 2;
  for (; i < length && bytes[i] >= 0x20 && bytes[i] <= 0x3F; ++i) {
    if (bytes[i] == ';') {
      ++count;
    } else if (bytes[i] >= '0' && bytes[i] <= '9' && count < 2 && parameters[count] < 10000) {
      parameters[count] = parameters[count] * 10 + (bytes[i] - '0');
    }
  }
  if (i >= length) return DecodeResult::need_more;
  *consumed = i + 1;
  const unsigned char final = bytes[i];
  if (final < 0x40 || final > 0x7E) return DecodeResult::skip;
  bool enhanced = false;
  if (final == '~') {
    const uint16_t scan_code = scan_for_tilde(parameters[0], &enhanced);
    return named_key(scan_code, enhanced, modifier_state(parameters[1]), event);
  }
  if (final == 'Z') return named_key(SCAN_TAB, false, SHIFT_DOWN, event);
  const uint16_t scan_code = scan_for_letter(final, &enhanced);
  return named_key(scan_code, enhanced, modifier_state(parameters[1]), event);
}

// SS3: ESC O, an optional modifier digit, then a letter.
DecodeResult decode_ss3(const unsigned char* bytes, size_t length, InputEvent* event,
                        size_t* consumed) {
  size_t i = 2;
  int modifier = 0;
  while (i < length && bytes[i] >= '0' && bytes[i] <= '9' && i < 4) modifier = bytes[i++] - '0';
  if (i >= length) return DecodeResult::need_more;
  *consumed = i + 1;
  if (bytes[i] == 'M') {
    *event = key_event('\r', SCAN_ENTER, ENHANCED_KEY_FLAG);
    return DecodeResult::key;
  }
  bool enhanced = false;
  const uint16_t scan_code = scan_for_letter(bytes[i], &enhanced);
  return named_key(scan_code, enhanced, modifier_state(modifier), event);
}

// A UTF-8 character becomes its byte in code page 437, if it has one; the screen's rule decides
// what is a character (an overlong ESC is none).
DecodeResult decode_utf8(const unsigned char* bytes, size_t length, bool complete,
                         InputEvent* event, size_t* consumed) {
  uint32_t code_point = 0;
  size_t size = 0;
  *consumed = 1;
  const Utf8Result result = utf8_character(bytes, length, &code_point, &size);
  if (result == Utf8Result::cut_short) {
    if (!complete) return DecodeResult::need_more;
    *consumed = length;
    return DecodeResult::skip;
  }
  if (result == Utf8Result::invalid) return DecodeResult::skip;
  *consumed = size;
  const int byte = cp437_from_unicode(code_point);
  if (byte < 0) return DecodeResult::skip;
  *event = key_event(static_cast<unsigned char>(byte), 0, 0);
  return DecodeResult::key;
}

InputEvent plain_byte(unsigned char byte) {
  switch (byte) {
  case '\r': return key_event('\r', SCAN_ENTER, 0);
  case '\t': return key_event('\t', SCAN_TAB, 0);
  case 127: return key_event('\b', SCAN_BACKSPACE, 0); // the terminal's Backspace
  case '\b': return key_event(127, SCAN_BACKSPACE, LEFT_CTRL_DOWN);
  case 0: return key_event(0, SCAN_2, LEFT_CTRL_DOWN); // Ctrl-@, reported as Ctrl-2
  default: break;
  }
  if (byte < 32) return key_event(byte, 0, LEFT_CTRL_DOWN);
  return key_event(byte, 0, 0);
}

// The keys of a US keyboard's character rows, from the scan code of each row's first key.
struct KeyRow {
  uint16_t first_scan_code;
  const char* plain;
  const char* shifted;
};
const KeyRow key_rows[] = {{2, "1234567890-=", "!@#$%^&*()_+"},
                           {16, "qwertyuiop[]", "QWERTYUIOP{}"},
                           {30, "asdfghjkl;'`", "ASDFGHJKL:\"~"},
                           {43, "\\zxcvbnm,./", "|ZXCVBNM<>?"}};

// The scan code of the key that types a character; 0 for none.
uint16_t scan_for_char(unsigned char ch) {
  if (ch == ' ') return 57;
  for (const KeyRow& row : key_rows) {
    for (const char* keys : {row.plain, row.shifted}) {
      for (int i = 0; keys[i] != '\0'; ++i) {
        if (static_cast<unsigned char>(keys[i]) == ch) {
          return static_cast<uint16_t>(row.first_scan_code + i);
        }
      }
    }
  }
  return 0;
}

// A terminal sends Alt with a key as ESC and then the key: the console reports it as the key
// with Alt down and no character, which reads by the Alt column of the key tables.
DecodeResult decode_alt_key(const unsigned char* bytes, size_t length, bool complete,
                            InputEvent* event, size_t* consumed);

} // namespace

DecodeResult decode_key(const unsigned char* bytes, size_t length, bool complete, InputEvent* event,
                        size_t* consumed) {
  *consumed = 1;
  if (length == 0) return DecodeResult::need_more;
  if (bytes[0] == esc) {
    if (length == 1) {
      if (!complete) return DecodeResult::need_more;
      *event = key_event(esc, SCAN_ESC, 0);
      return DecodeResult::key;
    }
    // ESC after ESC is a held-down ESC repeating.
    if (bytes[1] == esc) {
      *event = key_event(esc, SCAN_ESC, 0);
      return DecodeResult::key;
    }
    if (bytes[1] != '[' && bytes[1] != 'O') {
      return decode_alt_key(bytes, length, complete, event, consumed);
    }
    const DecodeResult result = bytes[1] == '[' ? decode_csi(bytes, length, event, consumed)
                                                : decode_ss3(bytes, length, event, consumed);
    if (result != DecodeResult::need_more || !complete) return result;
    // Nothing more came with it: ESC [ and ESC O alone are Alt with [ or O, and a longer
    // sequence cut short is no key at all, dropped whole; neither is ever a lone ESC.
    if (length == 2) return decode_alt_key(bytes, length, complete, event, consumed);
    *consumed = length;
    return DecodeResult::skip;
  }
  if (bytes[0] >= 0x80) return decode_utf8(bytes, length, complete, event, consumed);
  *event = plain_byte(bytes[0]);
  return DecodeResult::key;
}

namespace {

DecodeResult decode_alt_key(const unsigned char* bytes, size_t length, bool complete,
                            InputEvent* event, size_t* consumed) {
  const DecodeResult result = decode_key(bytes + 1, length - 1, complete, event, consumed);
  ++*consumed;
  if (result != DecodeResult::key) return result;
  if (event->scan_code == 0) event->scan_code = scan_for_char(event->ch);
  event->ch = 0;
  event->control_state |= LEFT_ALT_DOWN;
  return DecodeResult::key;
}

} // namespace
