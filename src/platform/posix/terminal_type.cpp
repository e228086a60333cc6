// The terminal's description: ncurses' terminfo library reads the entry of its type. Kept apart
// from the other terminal code, since <term.h> defines a macro for every capability's name.
#include "platform/posix/terminal_type.h"

#include <cstring>
#include <initializer_list>
#include <term.h>

namespace {

// Terminals that answer xterm's sequences, known by name when the system has no entry for them.
bool xterm_like(const char* term) {
  for (const char* prefix :
       {"xterm", "tmux", "screen", "rxvt", "vte", "alacritty", "kitty", "foot"}) {
    if (strncmp(term, prefix, strlen(prefix)) == 0) return true;
  }
  return strstr(term, "256color") != nullptr;
}

bool has_string(const char* name) {
  const char* const value = tigetstr(name);
  return value != nullptr && value != reinterpret_cast<const char*>(-1) && value[0] != '\0';
}

} // namespace

TerminalType terminal_type_of(const char* term, int fd) {
  if (term == nullptr || term[0] == '\0' || strcmp(term, "dumb") == 0) {
    return TerminalType{true, false, false, false};
  }
  int found = 0;
  if (setupterm(term, fd, &found) != 0 || found != 1) {
    const bool known = xterm_like(term);
    return TerminalType{false, known, known, known};
  }
  TerminalType type;
  type.plain = !has_string("cup");
  type.colours = tigetnum("colors") >= 8;
  // tsl, or the extended flag XT that xterm's and tmux's entries carry for its title sequence.
  type.title = has_string("tsl") || tigetflag("XT") == 1;
  type.cursor_visibility = has_string("civis") && has_string("cnorm");
  del_curterm(cur_term);
  return type;
}
