// What the terminal that TERM names can do, from its terminfo entry.
#pragma once

struct TerminalType {
  bool plain;             // no cursor addressing (dumb, unset): the text as a plain stream
  bool colours;           // eight colours or more
  bool title;             // a title sequence (xterm's OSC 0)
  bool cursor_visibility; // the cursor can be hidden and shown again
};

// From the entry of term; without one, an xterm-like name has all of them and any other none.
TerminalType terminal_type_of(const char* term, int fd);
