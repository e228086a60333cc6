// The console window: its title, and its icons through the window manager.
#include <windows.h>

#include "platform/platform.h"

bool plat_set_title(const char* title) {
  return SetConsoleTitleA(title) != FALSE;
}

// Only this process's own console window: another copy's window has the same class and title,
// and without a console of its own the program has no window to touch.
void* plat_find_console_window(const char* title) {
  const HWND own = GetConsoleWindow();
  if (own == nullptr) return nullptr;
  const HWND found = FindWindowA("ConsoleWindowClass", title);
  return found == own ? reinterpret_cast<void*>(own) : nullptr;
}

void* plat_load_large_icon(int resource_id) {
  return reinterpret_cast<void*>(
      LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource_id)));
}

void* plat_load_small_icon(int resource_id) {
  return LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resource_id), IMAGE_ICON, 16, 16,
                    LR_DEFAULTCOLOR);
}

int32_t plat_send_icon(void* window, bool large, void* icon) {
  const LRESULT previous =
      SendMessageA(reinterpret_cast<HWND>(window), WM_SETICON, large ? ICON_BIG : ICON_SMALL,
                   reinterpret_cast<LPARAM>(icon));
  return static_cast<int32_t>(previous);
}
