// A scripted system under the POSIX backend: one terminal (descriptor 3), a clock that moves
// only while a call waits, a process table, the signal dispositions, and errors to answer.
#pragma once

#include <csignal>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <termios.h>
#include <vector>

constexpr int fake_terminal_fd = 3;
constexpr int fake_end_timer_fd = 10;        // the boot-time timer
constexpr int fake_set_timer_fd = 11;        // the watch of a set of the wall clock
constexpr int fake_report_fds[2] = {12, 13}; // the pipe a failed exec is reported through
constexpr int fake_still_running = -1;
constexpr int64_t fake_start_ms = 1000000;

struct FakeSystem {
  bool has_terminal = true;
  bool stdin_is_terminal = true;
  bool stdout_open = true;
  // Bytes the terminal has to give, each with the time it arrives; what it took of writes.
  std::deque<std::pair<int64_t, std::string>> arrivals;
  std::string shown;
  std::map<int, std::string> other_output; // what went to other descriptors
  // One answer a write, first to last: a count takes at most that many bytes, a negative
  // number fails with that errno; none left, a write takes everything.
  std::deque<long> write_answers;
  bool hung_up = false;
  termios mode{};
  std::vector<termios> modes_set;
  pid_t own_group = 100, foreground_group = 100;
  unsigned short columns = 80, rows = 25;

  int64_t now_ms = fake_start_ms;
  int64_t end_timer_due_ms = -1;
  int64_t set_watch_due_s = -1; // on the wall clock
  bool clock_was_set = false;

  // Errors that the next calls of a name answer, one each, 0 for a call that succeeds:
  // errors["poll"] = {EINTR}.
  std::map<std::string, std::deque<int>> errors;
  std::vector<std::string> calls;

  // What the forks answer, first to last (0: this is the child, -1: no fork); none left, a new
  // pid. Exit statuses, as waitpid gives them, by pid: fake_still_running for a look that finds
  // the child running.
  std::deque<pid_t> forks;
  pid_t next_pid = 200;
  std::map<pid_t, std::deque<int>> exits;
  std::vector<pid_t> live_groups;
  bool shell_present = true;
  // What went into the report pipe, or what it is to give; its write end open (in this
  // process) and closed at exec.
  std::string report;
  bool report_open = false, report_closes_at_exec = false;

  struct sigaction dispositions[65] = {};
  std::vector<int> raised;
  void (*at_exit)() = nullptr;

  size_t count(const std::string& call) const;
  void type(const std::string& bytes, int64_t after_ms = 0);
};

extern FakeSystem fake;

// A new fake, and every backend module as a new process starts.
void fake_reset();

// What the fake's _exit throws: a child's end, caught by the test.
struct FakeExit {
  int status;
};
