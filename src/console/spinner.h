// The one-character bar that turns on every redraw of a status screen, to show the program is
// alive. Drawn in the cell under the cursor, which stays on that cell.
#pragma once

#include <cstdint>

void spinner_step(uint32_t every);

// A new process starts with both counters at 0.
void spinner_reset_state();
