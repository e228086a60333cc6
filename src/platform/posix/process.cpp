// The command processor's part: START starts the command through /bin/sh -c in a session of its
// own, not waited for, whatever the interpreter word.
#include "platform/posix/process.h"

#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/signals.h"
#include "platform/posix/system.h"

namespace {

// What the intermediate child ends with when no shell started: neither of the shell's own codes.
constexpr int no_shell_status = 1;

// report: the pipe's end that tells the intermediate child why the shell did not start (-1: no
// pipe); a successful exec closes it.
[[noreturn]] void exec_shell(const char* command, int report) {
  signals_reset_for_child();
  char* const arguments[] = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                             const_cast<char*>(command), nullptr};
  sys_execv("/bin/sh", arguments);
  const int error = errno;
  // A report that does not get through reads as an exec that happened, and the 127 below as the
  // shell's own.
  if (report >= 0) sys_write(report, &error, sizeof error);
  sys_exit_now(127);
}

// A pipe whose write end closes at the shell's exec: the intermediate child reads an errno when
// the exec failed, and nothing when it happened. -1 at both ends when there is none (no
// descriptor left): the launch goes on without the report.
void open_report(int fds[2]) {
  if (sys_pipe(fds) == 0 && sys_fcntl(fds[0], F_SETFD, FD_CLOEXEC) == 0 &&
      sys_fcntl(fds[1], F_SETFD, FD_CLOEXEC) == 0) {
    return;
  }
  if (fds[0] >= 0) sys_close(fds[0]);
  if (fds[1] >= 0) sys_close(fds[1]);
  fds[0] = fds[1] = -1;
}

// True when the grandchild reported a failed exec; the end of the pipe (its write end closed at
// the exec, or at its end) means the shell started.
bool exec_failed(int report) {
  if (report < 0) return false;
  int error = 0;
  ssize_t got = 0;
  do {
    got = sys_read(report, &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  return got > 0;
}

int wait_for(pid_t child) {
  int status = 0;
  while (sys_waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr int group_room = 16;

struct ProcessState {
  // The process groups of the commands started and maybe still running; a group lives as long
  // as any process in it, and its number is not given to another process meanwhile.
  pid_t launched_groups[group_room] = {};
  int launched_count = 0;
};
ProcessState state;

bool group_alive(pid_t group) {
  return sys_kill(-group, 0) == 0 || errno == EPERM;
}

void forget_ended_groups() {
  int kept = 0;
  for (int i = 0; i < state.launched_count; ++i) {
    if (group_alive(state.launched_groups[i])) {
      state.launched_groups[kept++] = state.launched_groups[i];
    }
  }
  state.launched_count = kept;
}

// With the list full of running commands the oldest makes room: it has run the longest.
void remember_group(pid_t group) {
  forget_ended_groups();
  if (state.launched_count == group_room) {
    for (int i = 1; i < group_room; ++i) state.launched_groups[i - 1] = state.launched_groups[i];
    --state.launched_count;
  }
  state.launched_groups[state.launched_count++] = group;
}

// The shell's own exit code when it ends at once with one that says it could not find (127) or
// run (126) the command; 0 when the command is running or ran, and is left to itself.
int early_failure(pid_t shell) {
  const timespec step = {0, 5 * 1000000};
  for (int waited_ms = 0; waited_ms < 100; waited_ms += 5) {
    int status = 0;
    const pid_t ended = sys_waitpid(shell, &status, WNOHANG);
    if (ended == shell) {
      const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 0;
      return code == 126 || code == 127 ? code : 0;
    }
    if (ended < 0 && errno != EINTR) return 0;
    sys_nanosleep(&step, nullptr);
  }
  return 0;
}

// The command runs on its own, in a session (and process group) of its own with nothing to read.
// The intermediate child learns whether the shell started at all, then waits a tenth of a second
// at most for the shell to fail, then ends, so the command is nobody's child to wait for. Gives the
// shell's 127 or 126, 0 when it started, -1 when no shell could be started.
int start_detached(const char* command) {
  if (sys_access("/bin/sh", X_OK) != 0) return -1;
  const pid_t child = sys_fork();
  if (child < 0) return -1;
  if (child == 0) {
    sys_setsid();
    int report[2] = {-1, -1};
    open_report(report);
    const pid_t grandchild = sys_fork();
    if (grandchild < 0) sys_exit_now(no_shell_status);
    if (grandchild > 0) {
      // With its own copy of the write end closed, the pipe ends when the grandchild's does.
      if (report[1] >= 0) sys_close(report[1]);
      sys_exit_now(exec_failed(report[0]) ? no_shell_status : early_failure(grandchild));
    }
    // Standard input is /dev/null, or nothing when even that cannot be opened (no descriptor
    // left): never the user's terminal, whose keys (ESC among them) are the program's.
    sys_close(STDIN_FILENO);
    const int null_fd = sys_open("/dev/null", O_RDONLY); // the lowest free descriptor: 0
    if (null_fd > STDIN_FILENO && (sys_dup2(null_fd, STDIN_FILENO) < 0 || sys_close(null_fd) < 0)) {
      sys_exit_now(126);
    }
    exec_shell(command, report[1]);
  }
  const int result = wait_for(child);
  if (result == 0) remember_group(child);
  return result;
}

} // namespace

bool launched_output_possible() {
  // A command that was running at the last look may have written before it ended.
  const bool were_running = state.launched_count > 0;
  if (were_running) forget_ended_groups();
  return were_running;
}

LaunchOutcome start_command(const char* command) {
  const int code = start_detached(command);
  if (code == 0) return LaunchOutcome{LaunchResult::started, ""};
  // 127 and 126 are the shell's own: a command it could not find, or could not run.
  LaunchOutcome outcome = {LaunchResult::failed, "no command processor"};
  if (code == 127) strcpy(outcome.reason, "command not found");
  if (code == 126) strcpy(outcome.reason, "command cannot be run");
  return outcome;
}

VORBELIN_FRESH_STATE(process)
