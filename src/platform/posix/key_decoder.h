// Turns the bytes a terminal sends into the key events the Win32 console would report: the
// character, the scan code, and the Shift, Ctrl, Alt and enhanced-key flags.
#pragma once

#include <cstddef>

#include "platform/platform.h"

enum class DecodeResult {
  key,       // one event, from the first *consumed bytes
  need_more, // the bytes so far begin a sequence; wait a little for the rest
  skip,      // the first *consumed bytes mean no key (an unknown sequence)
};

// With complete set, no more bytes came with these: ESC alone is ESC, ESC [ and ESC O are Alt
// with [ and O, and a longer sequence or a character cut short is skipped whole.
DecodeResult decode_key(const unsigned char* bytes, size_t length, bool complete, InputEvent* event,
                        size_t* consumed);
