// The command processor's part: found as the C runtime's system() finds it, and started with the
// launch line's command as it was typed (the wide command line), waited for five seconds at most.
#include "platform/win32/process.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform/platform.h"

namespace {

struct ProcessState {
  // The program's first word as typed (typed_first_word), once the command line was looked at.
  bool typed_looked = false;
  wchar_t typed_word[300] = {};
};
ProcessState state;

// The ANSI argument vector has lost what the ANSI code page cannot hold; the wide command line
// has every character. The program's first word (the command) as the user typed it, or empty.
const wchar_t* typed_first_word() {
  wchar_t* const word = state.typed_word;
  if (state.typed_looked) return word;
  state.typed_looked = true;
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (words != nullptr && count > 1 &&
      wcslen(words[1]) < sizeof state.typed_word / sizeof word[0]) {
    wcscpy(word, words[1]);
  }
  LocalFree(words);
  return word;
}

} // namespace

// The command's text, wide: as typed when it is the command line's first word (the command), else
// from the ANSI code page.
bool command_wide(const char* text, wchar_t* out, int room) {
  const wchar_t* typed = typed_first_word();
  char typed_ansi[1024];
  const bool is_typed = typed[0] != L'\0' &&
                        WideCharToMultiByte(CP_ACP, 0, typed, -1, typed_ansi, sizeof typed_ansi,
                                            nullptr, nullptr) > 0 &&
                        strcmp(text, typed_ansi) == 0;
  if (!is_typed) return MultiByteToWideChar(CP_ACP, 0, text, -1, out, room) > 0;
  if (wcslen(typed) >= static_cast<size_t>(room)) return false;
  wcscpy(out, typed);
  return true;
}

namespace {

// The launch line, "<interpreter> /C START <command>", whose command reaches the command
// processor as it was typed.
struct LaunchLine {
  const char* interpreter;
  const char* command;
};

// The processor had not ended when the program stopped waiting for it.
constexpr int still_running = INT32_MIN;

bool launch_line_wide(const LaunchLine& line, wchar_t* out, int room) {
  char head[300];
  const int length = snprintf(head, sizeof head, "%s /C START ", line.interpreter);
  if (length < 0 || static_cast<size_t>(length) >= sizeof head) return false;
  const int used = MultiByteToWideChar(CP_ACP, 0, head, -1, out, room);
  return used > 0 && command_wide(line.command, out + used - 1, room - used + 1);
}

enum class StartResult { started, not_found, denied, failed };

bool is_separator(char c) {
  return c == '\\' || c == '/' || c == ':';
}

// Only a missing file or directory is "not found"; any other error (an invalid name, access
// denied) is a failure of its own.
StartResult failure_for(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return StartResult::not_found;
  return error == ERROR_ACCESS_DENIED ? StartResult::denied : StartResult::failed;
}

StartResult look_up_file(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return StartResult::started;
  return failure_for(GetLastError());
}

// The program file for a candidate: as it is when its name has an extension, else the first of
// .com, .exe, .bat and .cmd that exists. A name without a directory part is looked for in ".".
// Gives started when a file was found, else the failure that ended the look-up.
StartResult resolve_program(const char* candidate, char* path, size_t room) {
  const bool bare = strpbrk(candidate, "\\/:") == nullptr;
  const int used = snprintf(path, room, "%s%s", bare ? ".\\" : "", candidate);
  if (used < 0 || static_cast<size_t>(used) + 4 >= room) return StartResult::failed;
  const char* name = path + used;
  while (name > path && !is_separator(name[-1])) --name;
  if (strchr(name, '.') != nullptr) return look_up_file(path);
  for (const char* extension : {".com", ".exe", ".bat", ".cmd"}) {
    strcpy(path + used, extension);
    const StartResult result = look_up_file(path);
    if (result != StartResult::not_found) return result;
  }
  return StartResult::not_found;
}

StartResult start_processor(const char* candidate, const char* argument0, const LaunchLine& line,
                            int* exit_code) {
  char path[MAX_PATH + 8];
  const StartResult found = resolve_program(candidate, path, sizeof path);
  if (found != StartResult::started) return found;
  // Wide, so that the command reaches the command processor with every character it has.
  static char head_scratch[MAX_PATH + 8];
  static wchar_t command_line_scratch[MAX_PATH + 600];
  static wchar_t wide_path_scratch[MAX_PATH + 8];
  wchar_t* const command_line = command_line_scratch;
  const int used = snprintf(head_scratch, sizeof head_scratch, "%s /c ", argument0);
  const int head_size =
      used < 0 || static_cast<size_t>(used) >= sizeof head_scratch
          ? 0
          : MultiByteToWideChar(CP_ACP, 0, head_scratch, -1, command_line, MAX_PATH + 8);
  const int room =
      static_cast<int>(sizeof command_line_scratch / sizeof command_line_scratch[0]) - head_size;
  if (head_size == 0 || !launch_line_wide(line, command_line + head_size - 1, room) ||
      MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path_scratch, MAX_PATH + 8) == 0) {
    return StartResult::failed;
  }
  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessW(wide_path_scratch, command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return failure_for(GetLastError());
  }
  // START ends at once when all is well; one that cannot find the command may show an error box
  // and wait for someone to close it. The schedule does not wait with it.
  // A wait or a reading of the exit code that failed leaves how the processor ended unknown:
  // it started, and may have started the command, so it is said as still pending, never as a
  // launch that went well.
  DWORD code = 0;
  if (WaitForSingleObject(process.hProcess, 5000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &code)) {
    *exit_code = still_running;
  } else {
    *exit_code = static_cast<int>(code);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return StartResult::started;
}

bool is_network_path(const char* directory) {
  return (directory[0] == '\\' || directory[0] == '/') &&
         (directory[1] == '\\' || directory[1] == '/');
}

int start_along_path(const char* name, const LaunchLine& line) {
  int exit_code = -1;
  StartResult result = start_processor(name, name, line, &exit_code);
  if (result == StartResult::started) return exit_code;
  if (result != StartResult::not_found) return -1;
  static char path_list_scratch[32768];
  const DWORD length = GetEnvironmentVariableA("PATH", path_list_scratch, sizeof path_list_scratch);
  if (length == 0 || length >= sizeof path_list_scratch) return -1;
  for (char* directory = path_list_scratch; *directory != '\0';) {
    char* end = strchr(directory, ';');
    char* next = end != nullptr ? end + 1 : directory + strlen(directory);
    if (end != nullptr) *end = '\0';
    const size_t size = strlen(directory);
    if (size > 0) {
      if (size + 1 + strlen(name) >= MAX_PATH) return -1;
      char candidate[MAX_PATH];
      const bool joined = directory[size - 1] == '\\' || directory[size - 1] == '/';
      snprintf(candidate, sizeof candidate, "%s%s%s", directory, joined ? "" : "\\", name);
      result = start_processor(candidate, name, line, &exit_code);
      if (result == StartResult::started) return exit_code;
      // A network directory that fails is passed over; any other failure ends the search.
      if (result != StartResult::not_found && !is_network_path(directory)) return -1;
    }
    directory = next;
  }
  return -1;
}

// The command processor is found the way the C runtime's system() finds it: "COMSPEC" first,
// then cmd.exe (command.com on the Windows 95 family) in the current directory and along "PATH".
// Done here with the Win32 calls so that every runtime (and wine) behaves the same. Gives its
// exit code, still_running, or -1 when none could be started.
int run_command_processor(const LaunchLine& line) {
  fflush(stdout);
  static char comspec_scratch[MAX_PATH];
  const DWORD length = GetEnvironmentVariableA("COMSPEC", comspec_scratch, sizeof comspec_scratch);
  int exit_code = -1;
  if (length > 0 && length < sizeof comspec_scratch) {
    const StartResult result = start_processor(comspec_scratch, comspec_scratch, line, &exit_code);
    if (result == StartResult::started) return exit_code;
    if (result == StartResult::failed) return -1;
  }
  const char* name = (GetVersion() & 0x80000000u) ? "command.com" : "cmd.exe";
  return start_along_path(name, line);
}

} // namespace

LaunchOutcome start_command(const char* interpreter, const char* command) {
  const int code = run_command_processor(LaunchLine{interpreter, command});
  if (code == 0) return LaunchOutcome{LaunchResult::started, ""};
  if (code == still_running) return LaunchOutcome{LaunchResult::pending, ""};
  LaunchOutcome outcome = {LaunchResult::failed, "no command processor"};
  if (code != -1) snprintf(outcome.reason, sizeof outcome.reason, "exit code %d", code);
  return outcome;
}
