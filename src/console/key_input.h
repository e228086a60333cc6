// Single key presses from the console input device, delivered the way PC console programs know
// them: a character, or for a key without one a first code of 0 or 224 and a second code on the
// next read.
#pragma once

#include <cstdint>

#include "platform/platform.h"

// The codes of the keys the program acts on, as read_key gives them: a grey navigation key is
// KEY_EXTENDED, then its second code.
enum : int {
  KEY_CTRL_C = 3,
  KEY_ESC = 27,
  KEY_EXTENDED = 224,
  KEY_HOME = 71,
  KEY_UP = 72,
  KEY_PAGE_UP = 73,
  KEY_END = 79,
  KEY_DOWN = 80,
  KEY_PAGE_DOWN = 81,
};

int key_waiting();
int read_key();
int read_key_echo();
// The next read gives the second code of a two-code key (which may equal a stop key's code).
bool key_second_code_pending();
int key_prompt(const char* text);
// Sleeps up to milliseconds and wakes as soon as a key comes, or at what also_wake_on names
// (WAKE_ON_CLOCK_SET); input that is no key (a key's release, a mouse or focus event) is taken
// out of the input on the way. True when a key waits.
bool wait_for_key(uint32_t milliseconds, unsigned also_wake_on);

// The extended-key lookup: true and the two codes when the key press has a code.
bool extended_key_code(const InputEvent& event, int* first, int* second);

// A new process starts with nothing pending and the input device not yet opened.
void key_input_reset_state();
