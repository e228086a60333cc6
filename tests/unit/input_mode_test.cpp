// The Windows console's input mode while the program runs: key events only.
#include <gtest/gtest.h>

#include "platform/win32/input_mode.h"

TEST(InputMode, KeyEventsOnlyAndNoQuickEdit) {
  const struct {
    uint32_t found, running;
  } modes[] = {
      {0x1F7, 0x1A7}, // a console's default: mouse input and QuickEdit off, the rest kept
      {0x2B7, 0xA7},  // VT input off: an arrow key would read as ESC [ A
      {0x9F, 0x87},   // window and mouse input off; insert mode reported off stays off
      {0x17, 0xA7},   // no extended flags: QuickEdit off needs them, insert mode on with them
      {0x0, 0xA0},
  };
  for (const auto& mode : modes) {
    EXPECT_EQ(running_input_mode(mode.found), mode.running) << std::hex << mode.found;
  }
}
