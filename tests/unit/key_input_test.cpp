// Key input: the extended-key tables, the pending second code, polling, the prompt.
#include <gtest/gtest.h>

#include "console/key_input.h"
#include "platform/sim/sim.h"
#include "unit/sim_console.h"

namespace {

const uint32_t shift_states[4] = {0, SHIFT_DOWN, LEFT_CTRL_DOWN, RIGHT_ALT_DOWN};

std::pair<int, int> codes(uint16_t scan, uint32_t state) {
  const InputEvent event = {INPUT_KEY_EVENT, true, 0, scan, state};
  int first = -1, second = -1;
  if (!extended_key_code(event, &first, &second)) return {-1, -1};
  return {first, second};
}

} // namespace

TEST(KeyTables, GreyKeysByModifier) {
  // The navigation keys the help screen pages with: the extended prefix and the key's own code,
  // plain and with Shift alike.
  for (const int key : {KEY_HOME, KEY_UP, KEY_PAGE_UP, KEY_END, KEY_DOWN, KEY_PAGE_DOWN}) {
    const uint16_t scan = static_cast<uint16_t>(key);
    EXPECT_EQ(codes(scan, ENHANCED_KEY_FLAG), std::make_pair(int{KEY_EXTENDED}, key)) << key;
    EXPECT_EQ(codes(scan, SHIFT_DOWN | ENHANCED_KEY_FLAG), std::make_pair(int{KEY_EXTENDED}, key));
  }
  // The keypad's Enter and slash are characters, but for their Ctrl and Alt forms.
  EXPECT_EQ(codes(28, ENHANCED_KEY_FLAG), std::make_pair(13, 0));
  EXPECT_EQ(codes(28, LEFT_CTRL_DOWN | ENHANCED_KEY_FLAG), std::make_pair(10, 0));
  EXPECT_EQ(codes(53, SHIFT_DOWN | ENHANCED_KEY_FLAG), std::make_pair(63, 0));
  EXPECT_EQ(codes(53, RIGHT_ALT_DOWN | ENHANCED_KEY_FLAG), std::make_pair(0, 164));
  EXPECT_EQ(codes(60, ENHANCED_KEY_FLAG), std::make_pair(-1, -1)) << "no grey row";
  // Alt wins over Ctrl, Ctrl over Shift.
  EXPECT_EQ(codes(72, ENHANCED_KEY_FLAG | LEFT_ALT_DOWN | LEFT_CTRL_DOWN), std::make_pair(0, 152));
  EXPECT_EQ(codes(72, ENHANCED_KEY_FLAG | RIGHT_CTRL_DOWN | SHIFT_DOWN), std::make_pair(224, 141));
}

TEST(KeyTables, OtherKeysByGroup) {
  for (int i = 0; i < 10; ++i) {
    const uint16_t scan = static_cast<uint16_t>(59 + i);
    EXPECT_EQ(codes(scan, 0), std::make_pair(0, 59 + i));
    EXPECT_EQ(codes(scan, SHIFT_DOWN), std::make_pair(0, 84 + i));
    EXPECT_EQ(codes(scan, LEFT_CTRL_DOWN), std::make_pair(0, 94 + i));
    EXPECT_EQ(codes(scan, LEFT_ALT_DOWN), std::make_pair(0, 104 + i));
  }
  EXPECT_EQ(codes(87, 0), std::make_pair(224, 133));
  EXPECT_EQ(codes(88, SHIFT_DOWN), std::make_pair(224, 136));
  EXPECT_EQ(codes(87, LEFT_CTRL_DOWN), std::make_pair(224, 137));
  EXPECT_EQ(codes(88, RIGHT_ALT_DOWN), std::make_pair(224, 140));
  // Keypad with NumLock off: 0 and the scan code; Shift gives a digit, which does not count.
  const int keypad[10] = {71, 72, 73, 75, 77, 79, 80, 81, 82, 83};
  const int keypad_ctrl[10] = {119, 141, 132, 115, 116, 117, 145, 118, 146, 147};
  for (int i = 0; i < 10; ++i) {
    const uint16_t scan = static_cast<uint16_t>(keypad[i]);
    EXPECT_EQ(codes(scan, 0), std::make_pair(0, keypad[i]));
    EXPECT_EQ(codes(scan, SHIFT_DOWN), std::make_pair(-1, -1));
    EXPECT_EQ(codes(scan, LEFT_CTRL_DOWN), std::make_pair(0, keypad_ctrl[i]));
    EXPECT_EQ(codes(scan, LEFT_ALT_DOWN), std::make_pair(-1, -1));
  }
  EXPECT_EQ(codes(1, LEFT_ALT_DOWN), std::make_pair(0, 1));
  EXPECT_EQ(codes(1, 0), std::make_pair(-1, -1)) << "ESC is a character";
  EXPECT_EQ(codes(14, LEFT_ALT_DOWN), std::make_pair(0, 14));
  EXPECT_EQ(codes(15, SHIFT_DOWN), std::make_pair(0, 15));
  EXPECT_EQ(codes(15, LEFT_CTRL_DOWN), std::make_pair(0, 148));
  EXPECT_EQ(codes(3, LEFT_CTRL_DOWN), std::make_pair(0, 3));
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(codes(static_cast<uint16_t>(2 + i), LEFT_ALT_DOWN), std::make_pair(0, 120 + i));
  for (uint16_t scan : {16, 25, 30, 38, 44, 50, 26, 27, 28, 39, 41, 51, 53}) {
    EXPECT_EQ(codes(scan, LEFT_ALT_DOWN), std::make_pair(0, static_cast<int>(scan)));
    EXPECT_EQ(codes(scan, 0), std::make_pair(-1, -1));
  }
  for (uint16_t scan : {0, 29, 42, 54, 56, 58, 69, 70, 89, 200}) {
    for (uint32_t state : shift_states)
      EXPECT_EQ(codes(scan, state), std::make_pair(-1, -1)) << scan;
  }
}

TEST(KeyInput, TwoCodeKeysAndThePendingSecondCode) {
  fresh_console();
  sim_key_code(0, 72, ENHANCED_KEY_FLAG);
  sim_key_code(0, 72, 0); // keypad 8, NumLock off
  sim_key_char(0, '8', 72);
  EXPECT_EQ(key_waiting(), 1);
  EXPECT_EQ(read_key_echo(), 224);
  EXPECT_EQ(sim_result().console, "\xe0");
  EXPECT_EQ(key_waiting(), 1);
  EXPECT_EQ(read_key_echo(), 72);
  EXPECT_EQ(sim_result().console, "\xe0") << "the second code is not echoed";
  EXPECT_EQ(read_key(), 0);
  EXPECT_EQ(read_key(), 72);
  EXPECT_EQ(read_key(), '8');
  // The console's mode is 0 during the read and restored after it.
  EXPECT_EQ(sim_input_mode(), 0x1F7u);
}

TEST(KeyInput, WaitingIgnoresReleasesAndModifiersAlone) {
  fresh_console();
  sim_push_event(0, InputEvent{INPUT_KEY_EVENT, true, 0, 42, SHIFT_DOWN}); // Shift alone
  sim_push_event(0, InputEvent{INPUT_OTHER_EVENT, false, 0, 0, 0});
  sim_push_event(0, InputEvent{INPUT_KEY_EVENT, false, 'q', 16, 0});
  EXPECT_EQ(key_waiting(), 0);
  sim_key_char(0, 27, 1);
  EXPECT_EQ(key_waiting(), 1);
  EXPECT_EQ(read_key_echo(), 27);
  EXPECT_EQ(key_waiting(), 0);
}

// More events that are no key than one look holds (clicks, focus changes) stand before the keys:
// they are taken out, the keys and whatever follows them stay.
TEST(KeyInput, KeysBehindMoreOtherEventsThanOneLookHolds) {
  fresh_console();
  const InputEvent click = {INPUT_OTHER_EVENT, false, 0, 0, 0};
  for (int i = 0; i < 3000; ++i) sim_push_event(0, click);
  sim_key_char(0, 'a', 30);
  for (int i = 0; i < 2000; ++i) sim_push_event(0, click);
  sim_key_char(0, 27, 1);
  EXPECT_EQ(key_waiting(), 1);
  uint32_t left = 0;
  ASSERT_TRUE(plat_input_count(&left));
  EXPECT_EQ(left, 2u + 2000u + 2u) << "only the events before the first key are gone";
  EXPECT_EQ(read_key(), 'a');
  EXPECT_EQ(key_waiting(), 1);
  EXPECT_EQ(read_key(), 27);
  EXPECT_EQ(key_waiting(), 0);
  ASSERT_TRUE(plat_input_count(&left));
  EXPECT_EQ(left, 0u);
}

TEST(KeyInput, PromptDropsTypedAheadKeys) {
  fresh_console();
  sim_key_char(0, 'a');
  sim_key_code(0, 72, ENHANCED_KEY_FLAG);
  sim_key_char(300, 'z');
  int key = 0;
  const SimRun run = sim_call([&] { key = key_prompt("Press a key..."); });
  EXPECT_EQ(key, 'z');
  EXPECT_EQ(sim_result().console, "Press a key...\n");
  for (const char* text : {"", static_cast<const char*>(nullptr)}) {
    fresh_console();
    sim_key_char(100, 'y');
    EXPECT_EQ(key_prompt(text), 'y');
    EXPECT_EQ(sim_result().console, "\n");
  }
}

TEST(KeyInput, WithoutConsoleInput) {
  SimConfig config;
  config.has_console_input = false;
  sim_reset(config);
  sim_call([] {});
  EXPECT_EQ(key_waiting(), 0);
  EXPECT_EQ(read_key(), -1);
  EXPECT_EQ(read_key_echo(), -1);
  EXPECT_EQ(key_prompt("Press a key..."), -1) << "returns at once instead of waiting for ever";
  EXPECT_EQ(sim_result().console, "");
}
