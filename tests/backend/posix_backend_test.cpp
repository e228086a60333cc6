// The POSIX backend's decisions over a scripted system: what reaches the terminal when it takes
// bytes slowly, how keys are told apart in time, what a launch reports, which signals stay
// ignored.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "backend/fake_system.h"
#include "platform/posix/glyph_output.h"
#include "platform/posix/input.h"
#include "platform/posix/process.h"
#include "platform/posix/signals.h"
#include "platform/posix/terminal.h"
#include "platform/posix/timers.h"

namespace {

class Backend : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("TERM", "xterm", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    fake_reset();
  }
};

bool mode_is_ours(const termios& mode) {
  return !(mode.c_lflag & (ICANON | ECHO)) && !(mode.c_iflag & (IXON | ICRNL)) &&
         mode.c_cc[VMIN] == 1;
}

// --- Writes to a terminal that takes bytes slowly.

TEST_F(Backend, TerminalKeepsTheRestOfAWriteAndSendsItFirst) {
  ASSERT_TRUE(terminal_open());
  fake.shown.clear();
  fake.write_answers = {3, -EAGAIN};
  char frame[] = "abcdef";
  EXPECT_FALSE(terminal_write(frame, 6));
  memset(frame, 'x', 6); // the rest was copied out of the caller's buffer
  fake.write_answers = {-EINTR, -EAGAIN};
  EXPECT_FALSE(terminal_write("new", 3)); // dropped whole while the rest is held back
  EXPECT_EQ(fake.shown, "abc");
  EXPECT_TRUE(terminal_write("Z", 1));
  EXPECT_EQ(fake.shown, "abcdefZ");
  // A rest with no room to keep it is dropped whole.
  fake.shown.clear();
  fake.write_answers = {3, -EAGAIN};
  EXPECT_FALSE(terminal_write(std::string(200 * 1024, 'y').data(), 200 * 1024));
  EXPECT_TRUE(terminal_write("Z", 1));
  EXPECT_EQ(fake.shown, "yyyZ");
  fake.write_answers = {0};
  EXPECT_FALSE(terminal_write("q", 1));
}

TEST_F(Backend, EndingWritesWaitForTheTerminalUntilItHangsUp) {
  ASSERT_TRUE(terminal_open());
  terminal_start_ending();
  fake.shown.clear();
  fake.write_answers = {2, -EAGAIN, -EAGAIN, 1};
  fake.errors["poll"] = {EINTR};
  EXPECT_TRUE(terminal_write("abcd", 4));
  EXPECT_EQ(fake.shown, "abcd");
  fake.write_answers = {-EAGAIN};
  fake.hung_up = true;
  EXPECT_FALSE(terminal_write("e", 1));
}

TEST_F(Backend, WriteFullyRetriesInterruptionsAndStopsAtNothingTaken) {
  fake.write_answers = {-EINTR, 2, 1};
  EXPECT_TRUE(write_fully(fake_terminal_fd, "abc", 3));
  EXPECT_EQ(fake.shown, "abc");
  fake.write_answers = {0};
  EXPECT_FALSE(write_fully(fake_terminal_fd, "d", 1));
  fake.write_answers = {-EIO};
  EXPECT_FALSE(write_fully(fake_terminal_fd, "d", 1));
}

// --- The terminal's modes and its ownership.

TEST_F(Backend, TerminalIsTakenOnlyInTheForegroundAndGivenBackAsFound) {
  struct Case {
    const char* name;
    bool has_terminal, stdin_terminal, interrupt_ignored, foreground;
    std::map<std::string, std::deque<int>> errors;
    bool opens, owned, mode_set;
  };
  const Case cases[] = {
      {"foreground", true, true, false, true, {}, true, true, true},
      {"background job", true, true, false, false, {}, true, false, false},
      {"a script's & job", true, false, true, true, {}, true, true, false},
      {"ignored ^C, own terminal", true, true, true, true, {}, true, true, true},
      {"no terminal", false, false, false, true, {}, false, false, false},
      {"mode unreadable", true, true, false, true, {{"tcgetattr", {EIO}}}, false, false, false},
      {"modes set interrupted",
       true,
       true,
       false,
       true,
       {{"tcsetattr", {EINTR, 0, EINTR}}},
       true,
       true,
       true},
  };
  for (const Case& c : cases) {
    fake_reset();
    fake.has_terminal = c.has_terminal;
    fake.stdin_is_terminal = c.stdin_terminal;
    if (c.interrupt_ignored) fake.dispositions[SIGINT].sa_handler = SIG_IGN;
    if (!c.foreground) fake.foreground_group = 7;
    fake.errors = c.errors;
    fake.mode.c_lflag &= ~ISIG; // signals come from the input mode, not from the mode found
    const termios found = fake.mode;
    EXPECT_EQ(terminal_open(), c.opens) << c.name;
    fake.errors["open"] = {ENXIO};
    EXPECT_EQ(terminal_open(), c.opens) << c.name; // asked once
    EXPECT_EQ(terminal_owned(), c.owned) << c.name;
    EXPECT_EQ(!fake.modes_set.empty(), c.mode_set) << c.name;
    EXPECT_TRUE(!c.mode_set || (mode_is_ours(fake.mode) && (fake.mode.c_lflag & ISIG))) << c.name;
    EXPECT_EQ(fake.count("close"), c.has_terminal && !c.opens ? 1u : 0u) << c.name;
    fake.mode.c_lflag |= ICANON; // a launched command's stty
    const size_t sets = fake.modes_set.size();
    terminal_keep_our_mode();
    EXPECT_EQ(fake.modes_set.size(), sets + (c.mode_set ? 1 : 0)) << c.name;
    fake.mode = found;
    (c.opens ? fake.at_exit : terminal_restore)(); // the restore runs at exit
    EXPECT_EQ(fake.mode.c_lflag, found.c_lflag) << c.name;
    EXPECT_EQ(fake.mode.c_iflag, found.c_iflag) << c.name;
    EXPECT_FALSE(terminal_owned()) << c.name;
  }
}

TEST_F(Backend, RestoreSendsTheResetAndTheTitleOnlyFromTheForeground) {
  ASSERT_TRUE(terminal_open());
  EXPECT_TRUE(terminal_title_push_due());
  EXPECT_FALSE(terminal_title_push_due());
  fake.write_answers = {4, -EAGAIN};
  EXPECT_FALSE(terminal_write("123456", 6));
  terminal_restore();
  EXPECT_EQ(fake.shown.substr(0, 6), "123456"); // the rest of the frame before the reset
  EXPECT_NE(fake.shown.find("\033[0m\033[?25h"), std::string::npos);
  EXPECT_EQ(fake.shown.substr(fake.shown.size() - 7), "\033[23;0t");
  fake_reset();
  ASSERT_TRUE(terminal_open());
  fake.foreground_group = 7;
  terminal_restore();
  EXPECT_EQ(fake.shown, "");
  EXPECT_TRUE(fake.modes_set.size() == 1 && mode_is_ours(fake.mode));
}

TEST_F(Backend, ComingToTheForegroundTakesTheTerminal) {
  fake.foreground_group = 7;
  ASSERT_TRUE(terminal_open());
  EXPECT_FALSE(terminal_follow_foreground());
  fake.foreground_group = fake.own_group; // fg
  EXPECT_TRUE(terminal_follow_foreground());
  EXPECT_TRUE(terminal_owned() && mode_is_ours(fake.mode));
  fake.foreground_group = 7; // bg, after a stop the program did not see
  EXPECT_FALSE(terminal_follow_foreground());
  EXPECT_FALSE(terminal_owned());
}

// A signal while the main flow updates the bytes in flight, or one while an end already waits
// for the terminal: the mode back, and nothing more written.
TEST_F(Backend, ARestoreFromAHandlerThatCannotWaitWritesNothing) {
  for (bool held : {true, false}) {
    fake_reset();
    ASSERT_TRUE(terminal_open());
    if (held) signals_hold();
    if (!held) terminal_start_ending();
    terminal_restore_on_signal();
    EXPECT_EQ(fake.shown, "") << held;
    EXPECT_FALSE(mode_is_ours(fake.mode)) << held;
  }
}

TEST_F(Backend, AProgramsModeFoundIsGivenBackWithLineEditing) {
  fake.mode.c_lflag = 0;
  fake.mode.c_iflag = 0;
  ASSERT_TRUE(terminal_open());
  terminal_restore();
  EXPECT_EQ(fake.mode.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(ICANON | ECHO | ISIG));
  EXPECT_EQ(fake.mode.c_iflag & (ICRNL | IXON), tcflag_t(ICRNL | IXON));
}

TEST_F(Backend, ModeFollowsTheInputModeAndALaunchedCommandsChange) {
  ASSERT_TRUE(terminal_open());
  EXPECT_TRUE(fake.mode.c_lflag & ISIG);
  terminal_set_input_mode(0); // a key read: Ctrl-C is a key
  EXPECT_FALSE(fake.mode.c_lflag & ISIG);
  const size_t sets = fake.modes_set.size();
  terminal_keep_our_mode();
  EXPECT_EQ(fake.modes_set.size(), sets); // unchanged: nothing to set
  fake.mode.c_lflag |= ICANON | ECHO;     // stty sane from a launched command
  terminal_keep_our_mode();
  EXPECT_EQ(fake.modes_set.size(), sets + 1);
  EXPECT_TRUE(mode_is_ours(fake.mode));
}

TEST_F(Backend, TerminalSizeFallsBackTo80By24) {
  ASSERT_TRUE(terminal_open());
  int columns = 0, rows = 0;
  fake.columns = 132;
  terminal_size(&columns, &rows);
  EXPECT_EQ(columns * 1000 + rows, 132025);
  fake.columns = 0;
  terminal_size(&columns, &rows);
  EXPECT_EQ(columns * 1000 + rows, 80024);
  fake.errors["ioctl"] = {EIO};
  fake.columns = 100;
  terminal_size(&columns, &rows);
  EXPECT_EQ(columns * 1000 + rows, 80024);
}

// --- Keys: a key's bytes are those that came within the pause of each other.

struct KeyCase {
  const char* name;
  std::vector<std::pair<int64_t, std::string>> arrivals; // ms after the start, bytes
  std::vector<std::pair<unsigned char, uint16_t>> keys;  // character and scan code
};

TEST_F(Backend, KeysAreToldApartByThePauseBetweenTheirBytes) {
  const KeyCase cases[] = {
      {"lone ESC", {{0, "\033"}}, {{27, 1}}},
      {"Up in one read", {{0, "\033[A"}}, {{0, 72}}},
      {"Up split in time", {{0, "\033["}, {30, "A"}}, {{0, 72}}},
      {"ESC, then a late [A", {{0, "\033"}, {80, "[A"}}, {{27, 1}, {'[', 0}, {'A', 0}}},
      {"Alt-x", {{0, "\033x"}}, {{0, 45}}},
      {"two keys", {{0, "ab"}}, {{'a', 0}, {'b', 0}}},
      {"a sequence longer than any key", {{0, "\033[" + std::string(40, '1') + "~q"}}, {{'q', 0}}},
  };
  for (const KeyCase& c : cases) {
    fake_reset();
    ASSERT_TRUE(plat_input_open());
    for (const auto& arrival : c.arrivals) fake.type(arrival.second, arrival.first);
    std::vector<std::pair<unsigned char, uint16_t>> keys;
    InputEvent event;
    uint32_t got = 0;
    while (keys.size() < c.keys.size() && plat_input_read(&event, &got)) {
      keys.emplace_back(event.ch, event.scan_code);
    }
    EXPECT_EQ(keys, c.keys) << c.name;
  }
}

// Keys stay in the terminal until asked for, one at a time; ESC is told from the start of a
// sequence by what was seen standing for the whole pause, however late the program reads.
TEST_F(Backend, KeysAreReadOnlyWhenAskedForAndTimedByWhatWasSeen) {
  ASSERT_TRUE(plat_input_open());
  fake.type("ab");
  uint32_t count = 0;
  EXPECT_TRUE(plat_input_count(&count));
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(fake.arrivals.front().second, "b");
  // A look right after a quiet sleep needs no call; the one after it looks again.
  fake_reset();
  ASSERT_TRUE(plat_input_open());
  EXPECT_EQ(watch_input_until(suspend_clock_ms() + 10, false), WatchEnd::deadline);
  EXPECT_TRUE(plat_input_count(&count) && count == 0);
  fake.type("a");
  EXPECT_TRUE(plat_input_count(&count) && count == 1);
  struct Case {
    std::vector<int64_t> looks_ms; // sleeps that ended on the arrival, each at this time
    size_t keys;
  };
  for (const Case& c : {Case{{0, 60}, 3}, Case{{0}, 1}, Case{{0, 30}, 1}}) {
    fake_reset();
    ASSERT_TRUE(plat_input_open());
    const int64_t start = fake.now_ms;
    fake.type("\033");
    fake.type("[A", 80);
    for (int64_t look : c.looks_ms) {
      fake.now_ms = start + look;
      EXPECT_EQ(watch_input_until(suspend_clock_ms() + 1000, false), WatchEnd::input);
    }
    fake.now_ms = start + 200;
    size_t keys = 0;
    InputEvent event;
    for (uint32_t got = 0; plat_input_count(&count) && count > 0; ++keys) {
      plat_input_read(&event, &got);
    }
    EXPECT_EQ(keys, c.keys) << c.looks_ms.size() << " looks";
  }
}

TEST_F(Backend, WithoutATerminalNoKeyEverComes) {
  fake.has_terminal = false;
  EXPECT_FALSE(plat_input_open());
  uint32_t count = 0, got = 0;
  InputEvent event;
  EXPECT_FALSE(plat_input_count(&count));
  EXPECT_FALSE(plat_input_read(&event, &got));
  EXPECT_EQ(fake.count("poll"), 0u);
}

TEST_F(Backend, InputEndsAtAHangUpAndAfterItNothingIsRead) {
  struct Case {
    const char* name;
    const char* call;
    int error;
    bool hung_up;
  };
  const Case cases[] = {
      {"read EIO", "read", EIO, false},
      {"count EIO", "ioctl", EIO, false},
      {"hang-up", "", 0, true},
  };
  for (const Case& c : cases) {
    fake_reset();
    ASSERT_TRUE(plat_input_open());
    fake.type("a");
    if (c.error != 0) fake.errors[c.call] = {c.error};
    fake.hung_up = c.hung_up;
    uint32_t count = 0;
    if (c.error == EIO && strcmp(c.call, "read") == 0) {
      InputEvent event;
      uint32_t got = 0;
      EXPECT_FALSE(plat_input_read(&event, &got)) << c.name;
    } else {
      plat_input_count(&count);
    }
    const size_t reads = fake.count("read");
    EXPECT_FALSE(plat_input_count(&count)) << c.name;
    EXPECT_EQ(fake.count("read"), reads) << c.name;
  }
  // A read in the background waits for the foreground, and ends at a hang-up.
  fake_reset();
  fake.foreground_group = 7;
  ASSERT_TRUE(plat_input_open());
  fake.hung_up = true;
  InputEvent event;
  uint32_t got = 0;
  EXPECT_FALSE(plat_input_read(&event, &got));
}

TEST_F(Backend, TheSleepBetweenPassesEndsOnTheFirstOfItsEnds) {
  struct Case {
    const char* name;
    int64_t key_after_ms; // -1: none
    bool clock_set;
    std::deque<int> poll_errors;
    WatchEnd end;
    int64_t slept_ms;
  };
  const Case cases[] = {
      {"deadline", -1, false, {}, WatchEnd::deadline, 5000},
      {"a key", 1200, false, {}, WatchEnd::input, 1200},
      {"clock set", -1, true, {}, WatchEnd::clock_set, 0},
      {"poll fails", -1, false, {ENOMEM, ENOMEM, ENOMEM}, WatchEnd::unwatched, 0},
      {"interrupted twice", -1, false, {EINTR, EINTR}, WatchEnd::deadline, 5000},
  };
  for (const Case& c : cases) {
    fake_reset();
    ASSERT_TRUE(plat_input_open());
    if (c.key_after_ms >= 0) fake.type("k", c.key_after_ms);
    fake.clock_was_set = c.clock_set;
    fake.errors["poll"] = c.poll_errors;
    const int64_t start = fake.now_ms;
    EXPECT_EQ(watch_input_until(suspend_clock_ms() + 5000, true), c.end) << c.name;
    EXPECT_EQ(fake.now_ms - start, c.slept_ms) << c.name;
    EXPECT_LE(fake.count("poll"), c.poll_errors.size() + 2) << c.name;
  }
  // Right after a quiet sleep (the last case's) a look for keys costs no system call.
  const size_t calls = fake.calls.size();
  uint32_t count = 1;
  EXPECT_TRUE(plat_input_count(&count));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(fake.calls.size(), calls);
}

TEST_F(Backend, TimersEndAWaitOnTheBootClockOrInSlicesWithout) {
  pollfd fds[2];
  const int64_t now = suspend_clock_ms();
  EXPECT_EQ(timers_arm(now + 40500, false, fds), 1);
  EXPECT_EQ(fake.end_timer_due_ms, fake.now_ms + 40500);
  EXPECT_EQ(timers_poll_ms(now + 40500), 40500);
  EXPECT_EQ(timers_arm(now - 5, true, fds), 2); // already due: it fires at once
  EXPECT_EQ(fake.end_timer_due_ms, fake.now_ms);
  EXPECT_GE(fake.set_watch_due_s, fake.now_ms / 1000 + 365 * 86400); // its own time never comes
  fds[1].revents = POLLIN;
  fds[0].revents = 0;
  errno = ECANCELED; // an earlier call's: the read itself says whether the clock was set
  EXPECT_EQ(timers_fired(now + 40000, fds, 2), TimerEnd::none);
  EXPECT_EQ(timers_arm(now + 40000, true, fds), 2);
  fds[1].revents = POLLIN;
  fake.clock_was_set = true;
  EXPECT_EQ(timers_fired(now + 40000, fds, 2), TimerEnd::clock_set);
  fake.now_ms += 1234;
  EXPECT_EQ(suspend_clock_ms(), now + 1234); // to the millisecond
  fake_reset();
  fake.errors["timerfd_create"] = {EMFILE, EMFILE};
  EXPECT_EQ(timers_arm(now + 40000, true, fds), 0);
  EXPECT_EQ(timers_poll_ms(now + 40000), 15000);
  EXPECT_EQ(timers_poll_ms(now - 1), 0);
  EXPECT_EQ(timers_fired(now, fds, 0), TimerEnd::time);
  EXPECT_EQ(timers_fired(now + 1, fds, 0), TimerEnd::none);
}

// --- Launches.

TEST_F(Backend, ALaunchReportsWhatTheShellSaidWithinATenthOfASecond) {
  struct Case {
    const char* name;
    bool shell, fork_fails;
    std::deque<int> child_exit, shell_exit; // as waitpid gives them
    LaunchResult result;
    const char* reason;
  };
  const Case cases[] = {
      {"running", true, false, {0}, {}, LaunchResult::started, ""},
      {"not found", true, false, {127 << 8}, {}, LaunchResult::failed, "command not found"},
      {"cannot run", true, false, {126 << 8}, {}, LaunchResult::failed, "command cannot be run"},
      {"no shell", false, false, {}, {}, LaunchResult::failed, "no command processor"},
      {"no fork", true, true, {}, {}, LaunchResult::failed, "no command processor"},
      {"killed child", true, false, {SIGKILL}, {}, LaunchResult::failed, "no command processor"},
      {"wait interrupted", true, false, {}, {}, LaunchResult::started, ""},
  };
  for (const Case& c : cases) {
    fake_reset();
    fake.shell_present = c.shell;
    if (c.fork_fails) fake.errors["fork"] = {EAGAIN};
    if (strcmp(c.name, "wait interrupted") == 0) fake.errors["waitpid"] = {EINTR};
    fake.exits[fake.next_pid] = c.child_exit;
    const LaunchOutcome outcome = start_command("backup.sh");
    EXPECT_EQ(outcome.result, c.result) << c.name;
    EXPECT_STREQ(outcome.reason, c.reason) << c.name;
  }
}

// The child that fork gives: it learns whether the shell (the grandchild) started, waits for it
// a tenth of a second at most, and the grandchild runs the shell with nothing to read.
TEST_F(Backend, TheDetachedChildWaitsForTheShellsOwnFailureOnly) {
  struct Case {
    const char* name;
    std::deque<pid_t> forks;
    int exec_error; // what the grandchild reported
    std::deque<int> shell_exit;
    int status;
    int64_t waited_ms;
  };
  const Case cases[] = {
      {"shell's 127", {0, 300}, 0, {127 << 8}, 127, 0},
      {"shell's 126", {0, 300}, 0, {126 << 8}, 126, 0},
      {"shell's 127, late", {0, 300}, 0, {fake_still_running, 127 << 8}, 127, 5},
      {"command's 1", {0, 300}, 0, {1 << 8}, 0, 0},
      {"still running", {0, 300}, 0, {}, 0, 100},
      {"no shell to exec", {0, 300}, ENOEXEC, {127 << 8}, 1, 0},
      {"the shell itself", {0, 0}, 0, {}, 127, 0},
      {"no fork for the shell", {0, -1}, 0, {}, 1, 0},
      {"the shell not its child", {0, 300}, 0, {-1}, 0, 0},
  };
  for (const Case& c : cases) {
    fake_reset();
    fake.forks = c.forks;
    if (c.shell_exit.size() == 1 && c.shell_exit[0] == -1) {
      fake.errors["waitpid"] = {ECHILD};
    } else {
      fake.exits[300] = c.shell_exit;
    }
    if (c.exec_error != 0) fake.report.assign(reinterpret_cast<const char*>(&c.exec_error), 4);
    const int64_t start = fake.now_ms;
    int status = -1;
    try {
      start_command("backup.sh");
    } catch (const FakeExit& end) {
      status = end.status;
    }
    EXPECT_EQ(status, c.status) << c.name;
    EXPECT_EQ(fake.now_ms - start, c.waited_ms) << c.name;
    EXPECT_EQ(fake.count("setsid"), 1u) << c.name;
    const bool shell = c.forks[1] == 0;
    EXPECT_EQ(fake.count("exec /bin/sh -c backup.sh"), shell ? 1u : 0u) << c.name;
    EXPECT_EQ(fake.count("sigprocmask"), shell ? 1u : 0u) << c.name;
    const int error = ENOENT; // the fake exec's
    EXPECT_EQ(fake.report, shell ? std::string(reinterpret_cast<const char*>(&error), 4) : "")
        << c.name;
    // The child: the pipe's write end; the shell: standard input, for /dev/null.
    EXPECT_EQ(fake.count("close"), c.forks[1] < 0 ? 0u : 1u) << c.name;
  }
}

TEST_F(Backend, CommandsStillRunningAreWatchedForOutputUntilTheyEnd) {
  fake.live_groups = {200};
  ASSERT_EQ(start_command("a").result, LaunchResult::started);
  EXPECT_TRUE(launched_output_possible());
  EXPECT_TRUE(launched_output_possible());
  fake.live_groups.clear();
  EXPECT_TRUE(launched_output_possible()); // once more after it ended
  EXPECT_FALSE(launched_output_possible());
}

// --- The command as shown, and the plain streams.

TEST_F(Backend, CommandTextShowsControlsAndBadBytesAsGlyphsWithinItsRoom) {
  struct Case {
    const char* command;
    size_t room;
    const char* shown;
  };
  const Case cases[] = {
      {"a\033[2Jb", 64, "a\u2190[2Jb"},
      {"x\ty\rz\x7f", 64, "x\u25cby\u266az\u2302"},
      {"\u00e9t\u00e9 \u0085", 64, "\u00e9t\u00e9 \u00e0"}, // a C1 control: the glyph of 0x85
      {"\xff\xc3", 64, "\u00a0\u251c"},                     // no UTF-8: each byte's glyph
      {"abcdefghij", 6, "ab"},
      {"\u00e9\u00e9\u00e9", 8, "\u00e9\u00e9"},
      {"\u009f\u00a0", 64, "\u0192\u00a0"}, // the last C1 control, and no control
  };
  for (const Case& c : cases) {
    char out[65];
    memset(out, '#', sizeof out);
    plat_console_text(c.command, out, c.room);
    EXPECT_STREQ(out, c.shown) << c.command;
    EXPECT_EQ(out[c.room], '#') << c.command;
  }
  // Outside UTF-8 its bytes are the locale's characters; in C, none past ASCII.
  fake_reset();
  setenv("LC_ALL", "C", 1);
  char out[16];
  plat_console_text("\u00e9", out, sizeof out);
  EXPECT_STREQ(out, "\u251c\u2310");
}

TEST_F(Backend, PlainStreamsBreakLinesAt80ColumnsAsTheScreenDoes) {
  struct Case {
    const char* name;
    std::string text, shown;
  };
  const std::string full(80, 'a');
  const Case cases[] = {
      {"a full line", full + "b", full + "\nb"},
      {"a line ended", "ab\ncd", "ab\ncd"},
      {"a wide character that would straddle", std::string(79, 'a') + "\u4e00",
       std::string(79, 'a') + "\n\u4e00"},
      {"a control byte", "a\x0e", "a\u266b"},
      {"exactly full", full, full + "\n"},
      {"lines after the first", std::string(159, 'a') + "\u4e00" + std::string(80, 'b'),
       full + "\n" + std::string(79, 'a') + "\n\u4e00" + std::string(78, 'b') + "\nbb"},
      {"the first OEM byte", "\x80", "\u00c7"},
      {"the square", "\xfe", "\u25a0"},
  };
  for (const Case& c : cases) {
    fake_reset();
    PlainStream stream = {fake_terminal_fd, 0};
    EXPECT_EQ(write_plain(&stream, c.text.data(), c.text.size()), c.text.size()) << c.name;
    EXPECT_EQ(fake.shown, c.shown) << c.name;
  }
  PlainStream stream = {fake_terminal_fd, 0};
  fake.write_answers = {0};
  EXPECT_EQ(write_plain(&stream, "x", 1), 0u);
}

// What a write to redirected standard output answers, what of it reached the file before the
// flush point, and the file after it.
struct Redirected {
  int answer;
  off_t before_flush;
  std::string file;
};

Redirected write_redirected_file(const std::string& text) {
  FILE* const file = tmpfile();
  FILE* const saved = stdout;
  stdout = file;
  Redirected out = {plat_stdout_write(text.data(), text.size()), 0, ""};
  struct stat written;
  fstat(fileno(file), &written); // what reached the file, not the buffer
  out.before_flush = written.st_size;
  flush_redirected();
  stdout = saved;
  rewind(file);
  char chunk[4096];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, file)) > 0;) out.file.append(chunk, got);
  fclose(file);
  return out;
}

// Redirected standard output: glyphs in the locale's set, through the C library's buffer, which
// the next flush point empties; a closed one takes nothing.
TEST_F(Backend, RedirectedOutputIsGlyphsFlushedAtTheFlushPoint) {
  for (const char* locale : {"C.UTF-8", "C"}) {
    setenv("LC_ALL", locale, 1);
    fake_reset();
    const Redirected out = write_redirected_file("\xfe \x1b");
    EXPECT_EQ(out.answer, 3) << locale;
    EXPECT_EQ(out.before_flush, 0) << locale;
    EXPECT_EQ(out.file, strcmp(locale, "C") == 0 ? "# \x1b" : "\u25a0 \x1b") << locale;
  }
  // A text longer than a chunk of glyphs arrives whole.
  const Redirected out = write_redirected_file(std::string(3000, '\xfe'));
  EXPECT_EQ(out.answer, 3000);
  EXPECT_EQ(out.file, std::string(3000, '#'));
  fake_reset();
  fake.stdout_open = false;
  EXPECT_EQ(plat_stdout_write("x", 1), -1);
}

// The console's text: the screen, a plain terminal's lines from the foreground alone, or standard
// error's lines without a terminal.
TEST_F(Backend, ConsoleTextGoesWhereTheTerminalAllows) {
  struct Case {
    const char* name;
    const char* term;
    bool has_terminal, foreground;
    std::string shown, on_stderr;
  };
  const Case cases[] = {
      {"no terminal", "xterm", false, true, "", "a\u2190b"},
      {"plain terminal", "dumb", true, true, "a\u2190b", ""},
      {"plain, in the background", "dumb", true, false, "", ""},
  };
  for (const Case& c : cases) {
    setenv("TERM", c.term, 1);
    fake_reset();
    fake.has_terminal = c.has_terminal;
    if (!c.foreground) fake.foreground_group = 7;
    EXPECT_TRUE(plat_console_open()) << c.name;
    fake.shown.clear();
    EXPECT_EQ(plat_console_write("a\033b", 3), 3u) << c.name;
    EXPECT_EQ(fake.shown, c.shown) << c.name;
    EXPECT_EQ(fake.other_output[STDERR_FILENO], c.on_stderr) << c.name;
  }
}

// --- Signals.

TEST_F(Backend, SignalsIgnoredAtStartStayIgnoredSaveThoseACommandMustNotInherit) {
  struct Case {
    int signal_number;
    bool ignored_by_us, ignored_by_command;
  };
  const Case found_ignored[] = {
      {SIGHUP, true, true},    // nohup
      {SIGCHLD, false, false}, // every launch's wait would find no child
      {SIGPIPE, true, false},  // a runtime's own, as Python's
      {SIGXFSZ, true, false},
  };
  for (const Case& c : found_ignored) fake.dispositions[c.signal_number].sa_handler = SIG_IGN;
  signals_install_process_wide();
  signals_install_terminal(terminal_restore_on_signal);
  for (const Case& c : found_ignored) {
    EXPECT_EQ(fake.dispositions[c.signal_number].sa_handler == SIG_IGN, c.ignored_by_us)
        << c.signal_number;
  }
  for (int handled : {SIGINT, SIGTERM, SIGQUIT, SIGTSTP, SIGCONT, SIGWINCH, SIGSEGV, SIGUSR1,
                      SIGRTMIN, SIGRTMAX}) {
    EXPECT_NE(fake.dispositions[handled].sa_handler, SIG_DFL) << handled;
    EXPECT_NE(fake.dispositions[handled].sa_handler, SIG_IGN) << handled;
  }
  EXPECT_EQ(start_command("backup.sh").result, LaunchResult::started);
  signals_reset_for_child();
  for (int signal_number = 1; signal_number < 65; ++signal_number) {
    EXPECT_EQ(fake.dispositions[signal_number].sa_handler,
              signal_number == SIGHUP ? SIG_IGN : SIG_DFL)
        << signal_number;
  }
  // A refused change leaves nothing to give back.
  fake_reset();
  fake.errors["sigaction"] = {0, EINVAL}; // SIGTTIN's
  signals_install_process_wide();
  signals_reset_for_child();
  EXPECT_EQ(fake.dispositions[SIGTTIN].sa_handler, SIG_DFL);
}

TEST_F(Backend, ASignalToEndWaitsWhileTheFlightIsUpdatedAndEndsAfter) {
  ASSERT_TRUE(terminal_open());
  void (*const on_term)(int) = fake.dispositions[SIGTERM].sa_handler;
  signals_hold();
  on_term(SIGTERM);
  EXPECT_TRUE(fake.raised.empty());
  EXPECT_TRUE(terminal_owned());
  signals_release();
  EXPECT_EQ(fake.raised, std::vector<int>{SIGTERM});
  fake.raised.clear();
  on_term(SIGTERM); // as raised again: the terminal back, then the default ending
  EXPECT_FALSE(terminal_owned());
  EXPECT_EQ(fake.dispositions[SIGTERM].sa_handler, SIG_DFL);
  EXPECT_EQ(fake.raised, std::vector<int>{SIGTERM});
}

TEST_F(Backend, CtrlCGoesToTheHandlerOrIsIgnoredAsTheProgramAsked) {
  ASSERT_TRUE(terminal_open());
  void (*const on_int)(int) = fake.dispositions[SIGINT].sa_handler;
  static uint32_t seen = 99;
  plat_set_ctrl_handler([](uint32_t event) -> int { return seen = event, 1; }, true);
  on_int(SIGQUIT);
  EXPECT_EQ(seen, 1u);
  plat_set_ctrl_handler(nullptr, true);
  plat_set_ctrl_handler([](uint32_t) -> int { return 0; }, true);
  on_int(SIGINT);
  EXPECT_TRUE(fake.raised.empty());
  on_int(SIGTERM);
  EXPECT_EQ(fake.raised, std::vector<int>{SIGTERM});
  plat_set_ctrl_handler([](uint32_t) -> int { return 1; }, true);
  on_int(SIGINT); // while a signal ends the run, another one ends it too
  EXPECT_EQ(fake.raised, (std::vector<int>{SIGTERM, SIGINT}));
}

TEST_F(Backend, StopAndOtherEndingSignalsGiveTheTerminalBackFirst) {
  for (int signal_number : {SIGUSR1, SIGALRM, SIGSEGV, SIGTSTP}) {
    fake_reset();
    ASSERT_TRUE(terminal_open());
    fake.dispositions[signal_number].sa_handler(signal_number);
    EXPECT_FALSE(terminal_owned()) << signal_number;
    EXPECT_EQ(fake.raised, std::vector<int>{signal_number});
    EXPECT_EQ(fake.dispositions[signal_number].sa_handler, SIG_DFL);
  }
  fake.dispositions[SIGCONT].sa_handler(SIGCONT); // fg: the next Ctrl-Z is ours again
  EXPECT_NE(fake.dispositions[SIGTSTP].sa_handler, SIG_DFL);
  EXPECT_TRUE(signals_take_continue());
  EXPECT_FALSE(signals_take_continue());
}

} // namespace
