// The console window's title and icon while the program runs, the icon's removal at every end of
// the run, and the console control handler.
#pragma once

#include <cstdint>

// Resource number of the program's icon group.
enum : int { ICON_RESOURCE = 101 };

void setup_window_identity();
int32_t reset_window_icon();
