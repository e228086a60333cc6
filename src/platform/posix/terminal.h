// The controlling terminal: the device, its modes, and its ownership by the foreground. The
// program owns it (its mode, its screen, its keys) only while its process group is the
// terminal's foreground group; in the background it leaves the terminal alone.
#pragma once

#include <cstddef>
#include <cstdint>

// What a launched command may have left that the screen depends on, set back: the ASCII set in
// G0 and shifted in, autowrap, and replacing rather than inserting.
#define TERMINAL_RESET_MODES "\017\033(B\033[?7h\033[4l"
// The whole window to scroll, the cursor kept where it is. The saved cursor carries origin mode,
// which is left as found: with the whole window for margins it moves nothing.
#define TERMINAL_RESET_SCROLL_KEEPING_CURSOR "\0337\033[r\0338"
// Absolute positions and the whole window to scroll; the cursor goes home.
#define TERMINAL_RESET_SCROLL_HOMING "\033[?6l\033[r"
// The terminal's own colours, and the cursor shown.
#define TERMINAL_RESET_LOOK "\033[0m\033[?25h"

// Opens the controlling terminal once, and installs the signals that give it back; false when
// there is none.
bool terminal_open();
// The terminal's descriptor, opened without blocking; -1 when there is none.
int terminal_fd();
// TERM=dumb or none, or a type without cursor addressing: no escape sequences, text as a plain
// stream.
bool terminal_is_plain();
// What the terminal's description says it can do: colours, a title, a hidden cursor.
bool terminal_shows_colours();
bool terminal_has_title();
bool terminal_hides_cursor();
// fd is this same controlling terminal ("/dev/tty" itself has a device number of its own, so
// the terminals' sessions are compared).
bool terminal_is(int fd);
// Its size in cells, 80 by 24 when it does not say.
void terminal_size(int* columns, int* rows);
// Our mode is in force: only in the foreground, until the terminal is given back.
bool terminal_owned();
// A job that a script started with & leaves the modes alone and reads no keys: the terminal is
// the script's foreground's.
bool terminal_modes_left_alone();
bool terminal_in_foreground();
// Takes the terminal when the program has come to the foreground, lets go of it in the
// background, and after a continue takes as the mode to give back whatever the user left.
// True when it was just taken: what it shows is not known.
bool terminal_follow_foreground();
// A launched command may have changed the modes (stty raw turns output processing off, and
// streamed lines staircase): ours again, while the program owns the terminal.
void terminal_keep_our_mode();
// The console input mode: with processed input off, Ctrl-C reads as a key.
uint32_t terminal_input_mode();
void terminal_set_input_mode(uint32_t mode);
// True when none of our titles is on the terminal's title stack: the caller pushes the user's
// now, and it is popped when the terminal is given back.
bool terminal_title_push_due();
// From now on writes wait for a terminal that is slow to read, as long as it is open.
void terminal_start_ending();
// Gives back the mode, the colours and the title, after what the terminal has not yet taken of
// earlier writes, waiting for it as long as it is open; async-signal-safe (write, poll,
// tcgetpgrp and tcsetattr).
void terminal_restore();
// The same from a signal's handler; a signal that comes while an end already waits gives the
// mode back at once and writes nothing more.
void terminal_restore_on_signal();
// Writes all it can to fd; false when the descriptor takes no more. Async-signal-safe.
bool write_fully(int fd, const char* bytes, size_t length);
// Writes to the terminal, opened without blocking. What it does not take at once is sent first
// at the next write, before anything new, when it is terminal_write_room bytes at most (else it
// is dropped); while it still holds that back, new bytes are dropped whole. False when any of
// these bytes are not written yet.
bool terminal_write(const char* bytes, size_t length);
// The room for the rest of a write, and so the most bytes a frame hands over at once.
constexpr size_t terminal_write_room = 65536;
