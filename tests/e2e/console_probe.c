/* A small Windows program that shares vorbelin.exe's console under wine, for what a user's
 * other programs do to a console and a pane cannot:
 *
 *   console_probe inject MS COUNT         after MS ms, COUNT mouse events then ESC into the input
 *   console_probe mode HEX OUT CMDLINE    sets the input mode, runs CMDLINE in this console, and
 *                                         writes to OUT the mode before, the first other mode seen
 *                                         while it runs (15 s at most), and the mode after
 *   console_probe nowindow OUT ERR MS CMDLINE
 *                                         runs CMDLINE in a console without a window (as a task
 *                                         scheduler does), its standard error to ERR, and writes
 *                                         to OUT whether it ended within MS ms and its status */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static HANDLE console_input(void) {
  return CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     NULL, OPEN_EXISTING, 0, NULL);
}

static int inject(DWORD ms, int count) {
  HANDLE in = console_input();
  INPUT_RECORD record;
  DWORD written = 0;
  int i;
  Sleep(ms);
  for (i = 0; i < count; ++i) {
    ZeroMemory(&record, sizeof record);
    record.EventType = MOUSE_EVENT;
    record.Event.MouseEvent.dwMousePosition.X = (SHORT)(i % 80);
    record.Event.MouseEvent.dwButtonState = (i & 1) ? 0 : FROM_LEFT_1ST_BUTTON_PRESSED;
    if (!WriteConsoleInputA(in, &record, 1, &written)) return 1;
  }
  for (i = 0; i < 2; ++i) {
    ZeroMemory(&record, sizeof record);
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = i == 0;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = VK_ESCAPE;
    record.Event.KeyEvent.wVirtualScanCode = 1;
    record.Event.KeyEvent.uChar.AsciiChar = 27;
    if (!WriteConsoleInputA(in, &record, 1, &written)) return 1;
  }
  return 0;
}

static int mode(DWORD set, const char* out, char* command) {
  HANDLE in = console_input();
  DWORD before = 0, during = 0, after = 0, status = 0;
  int polls;
  STARTUPINFOA start = {sizeof start};
  PROCESS_INFORMATION child;
  FILE* file;
  SetConsoleMode(in, set);
  GetConsoleMode(in, &before);
  if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &start, &child)) return 1;
  /* The mode as soon as the program has set its own, while it runs. */
  for (polls = 0; polls < 750; ++polls) {
    GetConsoleMode(in, &during);
    if (during != before || WaitForSingleObject(child.hProcess, 20) == WAIT_OBJECT_0) break;
  }
  WaitForSingleObject(child.hProcess, INFINITE);
  GetExitCodeProcess(child.hProcess, &status);
  GetConsoleMode(in, &after);
  file = fopen(out, "w");
  if (file == NULL) return 1;
  fprintf(file, "before %lx during %lx after %lx status %lu\n", before, during, after, status);
  fclose(file);
  return 0;
}

static int nowindow(const char* out, const char* err, DWORD ms, char* command) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
  STARTUPINFOA start = {sizeof start};
  PROCESS_INFORMATION child;
  DWORD waited, status = 0;
  FILE* file;
  HANDLE error = CreateFileA(err, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, NULL);
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  start.hStdError = error;
  if (!CreateProcessA(NULL, command, NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &start,
                      &child)) {
    return 1;
  }
  waited = WaitForSingleObject(child.hProcess, ms);
  if (waited != WAIT_OBJECT_0) TerminateProcess(child.hProcess, 99);
  GetExitCodeProcess(child.hProcess, &status);
  file = fopen(out, "w");
  if (file == NULL) return 1;
  fprintf(file, "%s status %lu\n", waited == WAIT_OBJECT_0 ? "ended" : "still running", status);
  fclose(file);
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "inject") == 0) return inject(atoi(argv[2]), atoi(argv[3]));
  if (argc == 5 && strcmp(argv[1], "mode") == 0)
    return mode(strtoul(argv[2], NULL, 16), argv[3], argv[4]);
  if (argc == 6 && strcmp(argv[1], "nowindow") == 0)
    return nowindow(argv[2], argv[3], atoi(argv[4]), argv[5]);
  fprintf(stderr, "usage: see the first lines of console_probe.c\n");
  return 2;
}
