// The help pager with its More pause and end prompt, and the title bar.
#include "console/help_screen.h"

#include <cstdint>

#include "console/console.h"
#include "console/key_input.h"
#include "util/run_end.h"

#ifndef VORBELIN_VERSION
#define VORBELIN_VERSION "0.0.0"
#endif

const char* const help_lines[HELP_LINE_COUNT] = {
    " Vorbelin " VORBELIN_VERSION " - waits, then launches a program or internal command",
    "",
    " Delays before (repeatedly) launching a program or internal command",
    " Uses minimal CPU time and is intended to be used on NT/Win2k/XP/W7",
    " Multiple commands must be enclosed in double quotes",
    " WinXP/2k may require the use of : instead of = as an arg delimiter",
    "",
    " Syntax: Vorbelin executablename /TIME=x      (seconds timed interval)",
    "         Vorbelin executablename /TIME=xHyMzS (h/m/s timed interval)",
    "         Vorbelin executablename /TIME=hh:mm  (absolute time)",
    "",
    " Vorbelin mapdrive.exe * \\\\server\\share /q /time=10",
    " Vorbelin backup.exe /time=8h /EXCEPT=SUN /REPEAT (every 8hrs)",
    " Vorbelin \"ping -n 1 myserver\" /time=60 /DOS /REPEAT (every min)",
    " Vorbelin monitor.exe /TIME=23:59 /REPEAT /EXCEPT=SATSUN",
    "",
    " /TIME[=x]      Relative time. /TIME=secs or /TIME=xxHyyMzzS (1s default)",
    " /TIME=hh:mm    Absolute time to launch the application instead of a delay",
    " /REPEAT        Or /R - Repeat execution at <time> each day",
    " /EXCEPT=DDD..  Using 3 letter day names eg. /EXCEPT=MonSatSun",
    " /DOS           Use COMMAND.COM to launch (default is CMD.EXE - 2k/XP)",
    " /Q             Quiet mode (Don't announce)",
    " Support page:  README.txt beside the program, or README.md in its sources",
    "",
    " Manual page:   man vorbelin (POSIX), with every option, key and exit status",
};

namespace {

const char* const more_prompt = "-- More (ESC quits) --";
const char* const end_prompt = "-- End - ESC to Close --";

void show_line(int line, int16_t banner_attr, int16_t body_attr) {
  if (line != 0) {
    out_print("%s\r\n", help_lines[line]);
    return;
  }
  set_text_attr((banner_attr & 0x80) ? banner_attr : (banner_attr | ATTR_BRIGHT_WHITE));
  con_print("%-79s", help_lines[0]);
  set_text_attr(body_attr);
  out_print("\n");
}

// The next line goes on the row of the prompt just answered.
void back_to_prompt_row() {
  cursor_goto(cursor_column(), cursor_row() - 1);
}

// The line to go on from after a navigation key at the More pause (the pass adds 1).
int line_after_more_key(int line, int page) {
  switch (read_key()) {
  case KEY_HOME: clear_screen(); return -1;
  case KEY_UP:
  case KEY_PAGE_UP: {
    clear_screen();
    const int back = line - 2 * page;
    return back < -1 ? -1 : back;
  }
  case KEY_END: clear_screen(); return HELP_LINE_COUNT - 1 - (HELP_LINE_COUNT % page);
  case KEY_DOWN:
  case KEY_PAGE_DOWN: clear_screen(); return line;
  default: return line;
  }
}

// The first line of the next pass after a navigation key at the end prompt.
int first_line_after_end_key(int line, int page, int first_line) {
  switch (read_key()) {
  case KEY_UP:
  case KEY_PAGE_UP: {
    const int first =
        line - (HELP_LINE_COUNT % page) - (page < HELP_LINE_COUNT ? page : HELP_LINE_COUNT);
    return first < 0 ? 0 : first;
  }
  case KEY_HOME: return 0;
  default: return first_line;
  }
}

} // namespace

// Lines per page for the window's current height.
static int page_size() {
  const int height = window_height();
  const int size = height - 2 < HELP_LINE_COUNT ? height - 2 : HELP_LINE_COUNT;
  // A window of 2 rows would give 0 lines a page and a division by zero.
  return size == 0 ? 1 : size;
}

void show_help(int banner_attr, int text_attr) {
  const int16_t banner = static_cast<int16_t>(banner_attr);
  const int16_t body = static_cast<int16_t>(text_attr);
  int page = page_size();
  set_text_attr(body);
  clear_screen();
  int first_line = 0;
  for (;;) {
    int line = first_line;
    for (; line < HELP_LINE_COUNT; ++line) {
      page = page_size();
      show_line(line, banner, body);
      if (line <= 0 || (line + 1) % page != 0) continue;
      const int key = key_prompt(more_prompt);
      back_to_prompt_row();
      if (key == KEY_ESC) end_run(0);
      if (key == KEY_EXTENDED) line = line_after_more_key(line, page);
    }
    set_text_attr(ATTR_ON_GREY);
    out_print("%s", end_prompt);
    set_text_attr(body);
    const int key = read_key();
    back_to_prompt_row();
    // Without console input no key will come to close the help: end as ESC would.
    if (key == KEY_ESC || key == -1) end_run(0);
    if (key == KEY_EXTENDED) first_line = first_line_after_end_key(line, page, first_line);
    set_text_attr(body);
    clear_screen();
  }
}

void draw_title_bar(int colour) {
  set_text_attr(ATTR_NORMAL);
  clear_screen();
  set_text_attr(colour | ATTR_BRIGHT_WHITE);
  con_print("%-80s", help_lines[0]);
  set_text_attr(ATTR_NORMAL);
}
