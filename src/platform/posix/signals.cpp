// Control events, crashes, stop and continue. Handlers touch only the terminal's mode and
// colours and a few flags: async-signal-safe calls only.
#include "platform/posix/signals.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <initializer_list>

#include "platform/platform.h"
#include "platform/posix/system.h"

namespace {

constexpr int signal_slots = 65;

struct SignalsState {
  void (*volatile restore_terminal)() = nullptr;
  volatile sig_atomic_t continued = 0;
  volatile sig_atomic_t resized = 0;

  CtrlHandler volatile ctrl_handler = nullptr;
  volatile sig_atomic_t ctrl_c_ignored = 0;

  struct sigaction found[signal_slots] = {}; // as the program found them, for a launched command
  bool changed[signal_slots] = {};

  // While the main flow updates what the handlers read (the bytes in flight to the terminal), a
  // signal that would give the terminal back waits, and is raised again when the update is done.
  volatile sig_atomic_t held = 0;
  volatile sig_atomic_t deferred[signal_slots] = {};
  volatile sig_atomic_t any_deferred = 0;
  // A signal is ending the run: another one to end does not wait for it.
  volatile sig_atomic_t ending_by_signal = 0;
};
SignalsState state;

bool defer(int signal_number) {
  if (!state.held || signal_number >= signal_slots) return false;
  state.deferred[signal_number] = 1;
  state.any_deferred = 1;
  return true;
}

uint32_t ctrl_event_for(int signal_number) {
  switch (signal_number) {
  case SIGINT: return 0;  // Ctrl-C
  case SIGQUIT: return 1; // Ctrl-Break
  case SIGHUP: return 2;  // the console closed
  default: return 6;      // shut-down
  }
}

// The default action can be set for every signal the program names (sigaction refuses only a
// number that is no signal, SIGKILL and SIGSTOP), so its result is not looked at.
void set_default(int signal_number) {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = SIG_DFL;
  sys_sigaction(signal_number, &action, nullptr);
}

void end_by_signal(int signal_number) {
  state.ending_by_signal = 1;
  state.restore_terminal();
  set_default(signal_number);
  sys_raise(signal_number); // delivered when the handler returns: the signal's own ending
}

// A handler that returns leaves errno as the interrupted code had it.
void on_terminate_signal(int signal_number) {
  if (defer(signal_number)) return;
  // A second signal to end while the first waits for a stalled terminal: the end comes now.
  if (state.ending_by_signal) end_by_signal(signal_number);
  const int saved_errno = errno;
  const CtrlHandler handler = state.ctrl_handler;
  const bool goes_on = (signal_number == SIGINT && state.ctrl_c_ignored) ||
                       (handler != nullptr && handler(ctrl_event_for(signal_number)) != 0);
  if (!goes_on) end_by_signal(signal_number);
  errno = saved_errno;
}

void on_ending_signal(int signal_number) {
  if (!defer(signal_number)) end_by_signal(signal_number);
}

void on_crash_signal(int signal_number) {
  state.restore_terminal();
  // Hand the signal to whoever had it before (the default action, or a sanitizer's report): a
  // disposition the system gave cannot be refused back.
  sys_sigaction(signal_number, &state.found[signal_number], nullptr);
  sys_raise(signal_number);
}

void install(int signal_number, void (*handler)(int), int flags = 0) {
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  action.sa_flags = flags;
  sigemptyset(&action.sa_mask);
  struct sigaction previous;
  // Refused (a number this system has no catchable signal for): nothing changed, nothing to give
  // back, and previous holds nothing.
  if (sys_sigaction(signal_number, &action, &previous) != 0) return;
  if (!state.changed[signal_number]) state.found[signal_number] = previous;
  state.changed[signal_number] = true;
}

// nohup, or a shell starting a background job without job control, ignores some signals for
// its children: they stay ignored.
void install_unless_ignored(int signal_number, void (*handler)(int), int flags = 0) {
  struct sigaction current;
  if (sys_sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) return;
  install(signal_number, handler, flags);
}

bool ignored_at_start(int signal_number) {
  if (state.changed[signal_number]) return state.found[signal_number].sa_handler == SIG_IGN;
  struct sigaction current;
  return sys_sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

void on_stop_signal(int) {
  if (defer(SIGTSTP)) return;
  const int saved_errno = errno;
  state.restore_terminal();
  set_default(SIGTSTP);
  sys_raise(SIGTSTP);
  errno = saved_errno;
}

// Whoever sent it, the next flush point looks at the terminal again.
void on_continue_signal(int) {
  const int saved_errno = errno;
  if (state.changed[SIGTSTP]) install(SIGTSTP, on_stop_signal);
  state.continued = 1;
  errno = saved_errno;
}

void on_resize_signal(int) {
  state.resized = 1;
}

bool take_flag(volatile sig_atomic_t* flag) {
  if (*flag == 0) return false;
  *flag = 0;
  return true;
}

// Every other signal whose default action ends the process: the terminal first.
const int other_ending_signals[] = {
    SIGUSR1,   SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGSYS, SIGTRAP, SIGIO,
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

} // namespace

void signals_install_process_wide() {
  for (int signal_number : {SIGPIPE, SIGTTIN, SIGTTOU}) install(signal_number, SIG_IGN);
  // A parent that ignores SIGCHLD hands that on: the system then reaps each child as it ends,
  // and the wait for the shell's report finds none.
  set_default(SIGCHLD);
}

void signals_install_terminal(void (*restore)()) {
  state.restore_terminal = restore;
  // The same signal again while its handler waits for a stalled terminal ends the run.
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    install_unless_ignored(signal_number, on_terminate_signal, SA_NODEFER);
  }
  for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
    install(signal_number, on_crash_signal);
  }
  for (int signal_number : other_ending_signals) {
    install_unless_ignored(signal_number, on_ending_signal);
  }
#ifdef SIGRTMIN
  for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX && signal_number < signal_slots;
       ++signal_number) {
    install_unless_ignored(signal_number, on_ending_signal);
  }
#endif
  install_unless_ignored(SIGTSTP, on_stop_signal);
  install(SIGCONT, on_continue_signal);
  install(SIGWINCH, on_resize_signal);
}

void signals_reset_for_child() {
  // A disposition the system gave cannot be refused back.
  for (int signal_number = 1; signal_number < signal_slots; ++signal_number) {
    if (state.changed[signal_number])
      sys_sigaction(signal_number, &state.found[signal_number], nullptr);
  }
  // A runtime that started the program (Python's) ignores these for its own writes, not for the
  // commands it starts; a command gets them as a shell's commands do. SIGCHLD is the default
  // already.
  for (int signal_number : {SIGPIPE, SIGXFSZ}) set_default(signal_number);
  // Setting an empty mask cannot fail.
  sigset_t none;
  sigemptyset(&none);
  sys_sigprocmask(SIG_SETMASK, &none, nullptr);
}

bool plat_set_ctrl_handler(CtrlHandler handler, bool add) {
  if (handler == nullptr) {
    state.ctrl_c_ignored = add ? 1 : 0;
  } else {
    state.ctrl_handler = add ? handler : nullptr;
  }
  return true;
}

void signals_hold() {
  state.held = 1;
  std::atomic_signal_fence(std::memory_order_seq_cst);
}

void signals_release() {
  std::atomic_signal_fence(std::memory_order_seq_cst);
  state.held = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  if (!state.any_deferred) return;
  state.any_deferred = 0;
  for (int signal_number = 1; signal_number < signal_slots; ++signal_number) {
    if (!state.deferred[signal_number]) continue;
    state.deferred[signal_number] = 0;
    sys_raise(signal_number);
  }
}

bool signals_held() {
  return state.held != 0;
}

bool signals_take_continue() {
  return take_flag(&state.continued);
}

bool signals_take_resize() {
  return take_flag(&state.resized);
}

bool signals_interrupt_ignored() {
  return ignored_at_start(SIGINT);
}

VORBELIN_FRESH_STATE(signals)
