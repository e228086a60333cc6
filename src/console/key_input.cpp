// Key polling and reading over the console input events, with the extended-key tables.
#include "console/key_input.h"

#include "console/console.h"

namespace {

struct CodePair {
  unsigned char first, second;
};

// Columns of both tables: plain, Shift, Ctrl, Alt.
struct GreyKey {
  uint16_t scan_code;
  CodePair codes[4];
};

const GreyKey grey_keys[] = {
    {28, {{13, 0}, {13, 0}, {10, 0}, {0, 166}}},
    {53, {{47, 0}, {63, 0}, {0, 149}, {0, 164}}},
    {71, {{224, 71}, {224, 71}, {224, 119}, {0, 151}}},
    {72, {{224, 72}, {224, 72}, {224, 141}, {0, 152}}},
    {73, {{224, 73}, {224, 73}, {224, 134}, {0, 153}}},
    {75, {{224, 75}, {224, 75}, {224, 115}, {0, 155}}},
    {77, {{224, 77}, {224, 77}, {224, 116}, {0, 157}}},
    {79, {{224, 79}, {224, 79}, {224, 117}, {0, 159}}},
    {80, {{224, 80}, {224, 80}, {224, 145}, {0, 160}}},
    {81, {{224, 81}, {224, 81}, {224, 118}, {0, 161}}},
    {82, {{224, 82}, {224, 82}, {224, 146}, {0, 162}}},
    {83, {{224, 83}, {224, 83}, {224, 147}, {0, 163}}},
};

// Other keys by scan code 0 to 88. Pairs whose first code is neither 0 nor 224, or whose second
// code is 0, are characters or nothing and do not count.
const CodePair other_keys[89][4] = {
    /* 0 */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 1 ESC */ {{27, 0}, {27, 0}, {27, 0}, {0, 1}},
    /* 2 1 */ {{49, 0}, {33, 0}, {0, 0}, {0, 120}},
    /* 3 2 */ {{50, 0}, {64, 0}, {0, 3}, {0, 121}},
    /* 4 3 */ {{51, 0}, {35, 0}, {0, 0}, {0, 122}},
    /* 5 4 */ {{52, 0}, {36, 0}, {0, 0}, {0, 123}},
    /* 6 5 */ {{53, 0}, {37, 0}, {0, 0}, {0, 124}},
    /* 7 6 */ {{54, 0}, {94, 0}, {30, 0}, {0, 125}},
    /* 8 7 */ {{55, 0}, {38, 0}, {0, 0}, {0, 126}},
    /* 9 8 */ {{56, 0}, {42, 0}, {0, 0}, {0, 127}},
    /* 10 9 */ {{57, 0}, {40, 0}, {0, 0}, {0, 128}},
    /* 11 0 */ {{48, 0}, {41, 0}, {0, 0}, {0, 129}},
    /* 12 - */ {{45, 0}, {95, 0}, {31, 0}, {0, 130}},
    /* 13 = */ {{61, 0}, {43, 0}, {0, 0}, {0, 131}},
    /* 14 Backspace */ {{8, 0}, {8, 0}, {127, 0}, {0, 14}},
    /* 15 Tab */ {{9, 0}, {0, 15}, {0, 148}, {0, 15}},
    /* 16 Q */ {{113, 0}, {81, 0}, {17, 0}, {0, 16}},
    /* 17 W */ {{119, 0}, {87, 0}, {23, 0}, {0, 17}},
    /* 18 E */ {{101, 0}, {69, 0}, {5, 0}, {0, 18}},
    /* 19 R */ {{114, 0}, {82, 0}, {18, 0}, {0, 19}},
    /* 20 T */ {{116, 0}, {84, 0}, {20, 0}, {0, 20}},
    /* 21 Y */ {{121, 0}, {89, 0}, {25, 0}, {0, 21}},
    /* 22 U */ {{117, 0}, {85, 0}, {21, 0}, {0, 22}},
    /* 23 I */ {{105, 0}, {73, 0}, {9, 0}, {0, 23}},
    /* 24 O */ {{111, 0}, {79, 0}, {15, 0}, {0, 24}},
    /* 25 P */ {{112, 0}, {80, 0}, {16, 0}, {0, 25}},
    /* 26 [ */ {{91, 0}, {123, 0}, {27, 0}, {0, 26}},
    /* 27 ] */ {{93, 0}, {125, 0}, {29, 0}, {0, 27}},
    /* 28 Enter */ {{13, 0}, {13, 0}, {10, 0}, {0, 28}},
    /* 29 Ctrl */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 30 A */ {{97, 0}, {65, 0}, {1, 0}, {0, 30}},
    /* 31 S */ {{115, 0}, {83, 0}, {19, 0}, {0, 31}},
    /* 32 D */ {{100, 0}, {68, 0}, {4, 0}, {0, 32}},
    /* 33 F */ {{102, 0}, {70, 0}, {6, 0}, {0, 33}},
    /* 34 G */ {{103, 0}, {71, 0}, {7, 0}, {0, 34}},
    /* 35 H */ {{104, 0}, {72, 0}, {8, 0}, {0, 35}},
    /* 36 J */ {{106, 0}, {74, 0}, {10, 0}, {0, 36}},
    /* 37 K */ {{107, 0}, {75, 0}, {11, 0}, {0, 37}},
    /* 38 L */ {{108, 0}, {76, 0}, {12, 0}, {0, 38}},
    /* 39 ; */ {{59, 0}, {58, 0}, {0, 0}, {0, 39}},
    /* 40 ' */ {{39, 0}, {34, 0}, {0, 0}, {0, 40}},
    /* 41 ` */ {{96, 0}, {126, 0}, {0, 0}, {0, 41}},
    /* 42 left Shift */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 43 \ */ {{92, 0}, {124, 0}, {28, 0}, {0, 0}},
    /* 44 Z */ {{122, 0}, {90, 0}, {26, 0}, {0, 44}},
    /* 45 X */ {{120, 0}, {88, 0}, {24, 0}, {0, 45}},
    /* 46 C */ {{99, 0}, {67, 0}, {3, 0}, {0, 46}},
    /* 47 V */ {{118, 0}, {86, 0}, {22, 0}, {0, 47}},
    /* 48 B */ {{98, 0}, {66, 0}, {2, 0}, {0, 48}},
    /* 49 N */ {{110, 0}, {78, 0}, {14, 0}, {0, 49}},
    /* 50 M */ {{109, 0}, {77, 0}, {13, 0}, {0, 50}},
    /* 51 , */ {{44, 0}, {60, 0}, {0, 0}, {0, 51}},
    /* 52 . */ {{46, 0}, {62, 0}, {0, 0}, {0, 52}},
    /* 53 / */ {{47, 0}, {63, 0}, {0, 0}, {0, 53}},
    /* 54 right Shift */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 55 keypad * */ {{42, 0}, {42, 0}, {0, 0}, {0, 0}},
    /* 56 Alt */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 57 Space */ {{32, 0}, {32, 0}, {32, 0}, {32, 0}},
    /* 58 CapsLock */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 59 F1 */ {{0, 59}, {0, 84}, {0, 94}, {0, 104}},
    /* 60 F2 */ {{0, 60}, {0, 85}, {0, 95}, {0, 105}},
    /* 61 F3 */ {{0, 61}, {0, 86}, {0, 96}, {0, 106}},
    /* 62 F4 */ {{0, 62}, {0, 87}, {0, 97}, {0, 107}},
    /* 63 F5 */ {{0, 63}, {0, 88}, {0, 98}, {0, 108}},
    /* 64 F6 */ {{0, 64}, {0, 89}, {0, 99}, {0, 109}},
    /* 65 F7 */ {{0, 65}, {0, 90}, {0, 100}, {0, 110}},
    /* 66 F8 */ {{0, 66}, {0, 91}, {0, 101}, {0, 111}},
    /* 67 F9 */ {{0, 67}, {0, 92}, {0, 102}, {0, 112}},
    /* 68 F10 */ {{0, 68}, {0, 93}, {0, 103}, {0, 113}},
    /* 69 NumLock */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 70 ScrollLock */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 71 keypad Home */ {{0, 71}, {55, 0}, {0, 119}, {0, 0}},
    /* 72 keypad Up */ {{0, 72}, {56, 0}, {0, 141}, {0, 0}},
    /* 73 keypad PgUp */ {{0, 73}, {57, 0}, {0, 132}, {0, 0}},
    /* 74 keypad - */ {{45, 0}, {45, 0}, {0, 0}, {0, 0}},
    /* 75 keypad Left */ {{0, 75}, {52, 0}, {0, 115}, {0, 0}},
    /* 76 keypad 5 */ {{0, 0}, {53, 0}, {0, 0}, {0, 0}},
    /* 77 keypad Right */ {{0, 77}, {54, 0}, {0, 116}, {0, 0}},
    /* 78 keypad + */ {{43, 0}, {43, 0}, {0, 0}, {0, 0}},
    /* 79 keypad End */ {{0, 79}, {49, 0}, {0, 117}, {0, 0}},
    /* 80 keypad Down */ {{0, 80}, {50, 0}, {0, 145}, {0, 0}},
    /* 81 keypad PgDn */ {{0, 81}, {51, 0}, {0, 118}, {0, 0}},
    /* 82 keypad Ins */ {{0, 82}, {48, 0}, {0, 146}, {0, 0}},
    /* 83 keypad Del */ {{0, 83}, {46, 0}, {0, 147}, {0, 0}},
    /* 84 SysRq */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 85 */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 86 */ {{0, 0}, {0, 0}, {0, 0}, {0, 0}},
    /* 87 F11 */ {{224, 133}, {224, 135}, {224, 137}, {224, 139}},
    /* 88 F12 */ {{224, 134}, {224, 136}, {224, 138}, {224, 140}},
};

enum class InputState { not_opened, open, unavailable };
struct KeyInputState {
  InputState input = InputState::not_opened;
  int pending_code = -1; // the second code of an extended key, for the next read
};
KeyInputState state;

// More events than this waiting at once are looked at only as far as the first ones. A look's
// events, kept off the stack (12 KiB).
constexpr uint32_t peek_room = 1024;
InputEvent peek_scratch[peek_room];

int shift_column(uint32_t control_state) {
  if (control_state & (LEFT_ALT_DOWN | RIGHT_ALT_DOWN)) return 3;
  if (control_state & (LEFT_CTRL_DOWN | RIGHT_CTRL_DOWN)) return 2;
  if (control_state & SHIFT_DOWN) return 1;
  return 0;
}

bool input_available() {
  if (state.input == InputState::not_opened) {
    state.input = plat_input_open() ? InputState::open : InputState::unavailable;
  }
  return state.input == InputState::open;
}

bool is_readable_key(const InputEvent& event) {
  if (event.type != INPUT_KEY_EVENT || !event.key_down) return false;
  int first = 0;
  int second = 0;
  return event.ch != 0 || extended_key_code(event, &first, &second);
}

} // namespace

bool extended_key_code(const InputEvent& event, int* first, int* second) {
  const int column = shift_column(event.control_state);
  if (event.control_state & ENHANCED_KEY_FLAG) {
    for (const GreyKey& key : grey_keys) {
      if (key.scan_code != event.scan_code) continue;
      *first = key.codes[column].first;
      *second = key.codes[column].second;
      return true;
    }
    return false;
  }
  if (event.scan_code > 88) return false;
  const CodePair pair = other_keys[event.scan_code][column];
  if ((pair.first != 0 && pair.first != 224) || pair.second == 0) return false;
  *first = pair.first;
  *second = pair.second;
  return true;
}

int key_waiting() {
  if (state.pending_code != -1) return 1;
  if (!input_available()) return 0;
  uint32_t count = 0;
  if (!plat_input_count(&count)) {
    state.input = InputState::unavailable; // gone (a terminal hung up): no key will come
    return 0;
  }
  // What no read would deliver (releases, modifiers alone, mouse, focus and menu events) is
  // taken out from the head of the input, a look's worth at a time: however many such events
  // waited, the next key is then the first one waiting, and the input does not grow.
  while (count > 0) {
    const uint32_t room = count < peek_room ? count : peek_room;
    uint32_t got = 0;
    if (!plat_input_peek(peek_scratch, room, &got) || got == 0 || got > room) return 0;
    uint32_t first_key = 0;
    while (first_key < got && !is_readable_key(peek_scratch[first_key])) ++first_key;
    uint32_t taken = 0;
    if (first_key > 0 && !plat_input_discard(first_key, &taken)) return first_key < got ? 1 : 0;
    if (first_key < got) return 1;
    if (taken == 0) return 0;
    count = count > taken ? count - taken : 0;
  }
  return 0;
}

int read_key() {
  if (state.pending_code != -1) {
    const int code = state.pending_code;
    state.pending_code = -1;
    return code;
  }
  if (!input_available()) return -1;
  uint32_t saved_mode = 0;
  const bool have_mode = plat_input_get_mode(&saved_mode);
  // Mode 0: no line input, no echo and no processed input, so Ctrl-C reads as 3.
  plat_input_set_mode(0);
  int result = -1;
  for (;;) {
    InputEvent event;
    uint32_t got = 0;
    if (!plat_input_read(&event, &got) || got == 0) break;
    if (event.type != INPUT_KEY_EVENT || !event.key_down) continue;
    if (event.ch != 0) {
      result = event.ch;
      break;
    }
    int first = 0;
    int second = 0;
    if (extended_key_code(event, &first, &second)) {
      state.pending_code = second;
      result = first;
      break;
    }
  }
  if (have_mode) plat_input_set_mode(saved_mode);
  return result;
}

int read_key_echo() {
  if (state.pending_code != -1) return read_key();
  const int key = read_key();
  if (key == -1) return -1;
  return con_putc(key) == -1 ? -1 : key;
}

bool key_second_code_pending() {
  return state.pending_code != -1;
}

int key_prompt(const char* text) {
  while (key_waiting() == 1) read_key();
  // Without console input no key can ever come: waiting would hang a scheduled run.
  if (!input_available()) return -1;
  if (text != nullptr && text[0] != '\0') con_print("%s", text);
  while (key_waiting() == 0 && input_available()) plat_sleep(50);
  con_print("\n");
  return read_key();
}

bool wait_for_key(uint32_t milliseconds, unsigned also_wake_on) {
  const int64_t end_ms = plat_monotonic_ms() + milliseconds;
  for (;;) {
    // key_waiting has taken out what is no key: the input is empty now.
    if (key_waiting() == 1) return true;
    const int64_t left_ms = end_ms - plat_monotonic_ms();
    if (left_ms <= 0) return false;
    const unsigned wake_on = input_available() ? also_wake_on | WAKE_ON_INPUT : also_wake_on;
    if (plat_wait(static_cast<uint32_t>(left_ms), wake_on) != WaitEnd::input) {
      return key_waiting() == 1;
    }
  }
}

void key_input_reset_state() {
  state = KeyInputState{};
}
