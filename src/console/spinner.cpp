// The activity spinner: vertical bar (0xB3 in the OEM code page), slash, dash, backslash.
#include "console/spinner.h"

#include "console/console.h"

namespace {

const unsigned char spinner_glyphs[4] = {0xB3, '/', '-', '\\'};
uint32_t spinner_passes = 0;
uint32_t spinner_index = 0;

} // namespace

void spinner_step(uint32_t every) {
  CursorMark mark = mark_cursor();
  if (spinner_passes % every == 0) {
    move_cursor(&mark, CUR_SAVE);
    con_putc(spinner_glyphs[spinner_index % 4]);
    move_cursor(&mark, CUR_RESTORE);
    ++spinner_index;
  }
  ++spinner_passes;
}

void spinner_reset_state() {
  spinner_passes = 0;
  spinner_index = 0;
}
