// Console input: the input device and the console's input mode as the program found it.
#pragma once

#include <windows.h>

// The console input device, or INVALID_HANDLE_VALUE before it is opened or without one.
HANDLE console_input_handle();
// The console's input mode as the program found it, bit for bit; on every way out.
void give_back_input_mode();
