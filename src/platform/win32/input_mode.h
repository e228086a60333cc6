// The console input mode while the program runs, from the mode it found: key events only, so
// that nothing but keys queues up while it waits. Pure, so that it is tested without a console.
#pragma once

#include <cstdint>

// The input mode's bits, as the console documents them.
enum : uint32_t {
  MODE_WINDOW_INPUT = 0x8,
  MODE_MOUSE_INPUT = 0x10,
  MODE_INSERT = 0x20,
  MODE_QUICK_EDIT = 0x40,
  MODE_EXTENDED_FLAGS = 0x80,
  MODE_VIRTUAL_TERMINAL_INPUT = 0x200,
};

// No window, mouse or VT input: a click, a resize or an arrow key's sequence is no key; no
// QuickEdit: a selection in the window would hold every console write, and the schedule with it.
// QuickEdit is set only with the extended flags, which set insert mode from the same mode; a
// console reports both only while its extended flags are on, so a mode found without them gets
// insert mode on, as a console starts, rather than off for the line editing after the run.
inline uint32_t running_input_mode(uint32_t found) {
  const uint32_t not_keys =
      MODE_WINDOW_INPUT | MODE_MOUSE_INPUT | MODE_QUICK_EDIT | MODE_VIRTUAL_TERMINAL_INPUT;
  const uint32_t insert = (found & MODE_EXTENDED_FLAGS) ? 0u : static_cast<uint32_t>(MODE_INSERT);
  return (found & ~not_keys) | MODE_EXTENDED_FLAGS | insert;
}
