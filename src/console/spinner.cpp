// The activity spinner: vertical bar (0xB3 in the OEM code page), slash, dash, backslash.
#include "console/spinner.h"

#include "console/console.h"

namespace {

const unsigned char spinner_glyphs[4] = {0xB3, '/', '-', '\\'};
struct SpinnerState {
  uint32_t passes = 0;
  uint32_t index = 0; // of the glyph shown next
};
SpinnerState state;

} // namespace

void spinner_step(uint32_t every) {
  CursorMark mark = mark_cursor();
  if (state.passes % every == 0) {
    move_cursor(&mark, CUR_SAVE);
    con_putc(spinner_glyphs[state.index % 4]);
    move_cursor(&mark, CUR_RESTORE);
    ++state.index;
  }
  ++state.passes;
}

void spinner_reset_state() {
  state = SpinnerState{};
}
