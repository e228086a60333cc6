// The controlling terminal, shared by the parts of the POSIX backend. The program owns it (its
// mode, its screen, its keys) only while its process group is the terminal's foreground group;
// in the background it leaves the terminal alone.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <termios.h>

struct Terminal {
  int fd = -1; // the controlling terminal, opened without blocking; -1 when there is none
  bool tried = false;
  bool stdout_is_terminal = false;
  bool plain = false;          // TERM=dumb or none: no escape sequences, text as a plain stream
  uint32_t input_mode = 0x1F7; // the console's: processed, line and echo input
  termios original{};          // the mode to give back
  termios ours{};
};

extern Terminal terminal;
// Our mode is in force: set only in the foreground, cleared when the terminal is given back.
extern volatile sig_atomic_t terminal_owned;
// Our title is on the terminal's title stack, to be popped when the terminal is given back.
extern volatile sig_atomic_t terminal_title_pushed;

// Opens the controlling terminal once; false when there is none.
bool terminal_open();
bool terminal_in_foreground();
// Takes the terminal when the program has come to the foreground, lets go of it in the
// background, and after a continue takes as the mode to give back whatever the user left.
// True when it was just taken: what it shows is not known.
bool terminal_follow_foreground();
// The console input mode: with processed input off, Ctrl-C reads as a key.
void terminal_set_input_mode(uint32_t mode);
// Gives back the mode and the colours; async-signal-safe (write, tcgetpgrp and tcsetattr).
void terminal_restore();
// Writes all it can to fd; false when the descriptor takes no more (on the terminal, opened
// without blocking, what it does not take at once is dropped). Async-signal-safe.
bool write_fully(int fd, const char* bytes, size_t length);
// A continue signal arrived: the mode may have changed meanwhile.
void terminal_note_continue();
