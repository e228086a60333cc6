// Console control events: Ctrl-C, Ctrl-Break and the close button.
#include "platform/platform.h"
#include "platform/win32/input.h"

namespace {

// Windows calls a handler that takes a DWORD and returns BOOL. The one Win32 handler stays
// registered and forwards to the program's, or to nothing once that is removed: wine frees a
// handler that removes itself during its own call and then calls through it.
struct SignalsState {
  CtrlHandler volatile registered_handler = nullptr;
  bool forwarder_registered = false;
};
SignalsState state;

BOOL WINAPI forward_ctrl_event(DWORD event) {
  give_back_input_mode(); // Ctrl-C, Ctrl-Break and the close button end the process
  const CtrlHandler handler = state.registered_handler;
  return handler != nullptr && handler(event) != 0 ? TRUE : FALSE;
}

} // namespace

bool plat_set_ctrl_handler(CtrlHandler handler, bool add) {
  if (handler == nullptr) return SetConsoleCtrlHandler(nullptr, add ? TRUE : FALSE) != FALSE;
  if (!add) {
    if (state.registered_handler == handler) state.registered_handler = nullptr;
    return true;
  }
  state.registered_handler = handler;
  if (!state.forwarder_registered) {
    state.forwarder_registered = SetConsoleCtrlHandler(forward_ctrl_event, TRUE) != FALSE;
  }
  return state.forwarder_registered;
}
