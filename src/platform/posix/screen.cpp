// The console's screen on a terminal. An in-memory screen buffer is the truth and is rendered
// to the terminal at each flush point, so the terminal never shows a half-drawn frame. Until the
// program first clears the whole screen, output streams into the terminal as an ordinary
// program's does.
#include "platform/posix/screen.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "platform/char_width.h"
#include "platform/console_frame.h"
#include "platform/cp437.h"
#include "platform/platform.h"
#include "platform/posix/glyph_output.h"
#include "platform/posix/renderer.h"
#include "platform/posix/signals.h"
#include "platform/posix/system.h"
#include "platform/posix/terminal.h"
#include "platform/screen_buffer.h"

namespace {

struct ScreenState {
  // What the program drew and what the terminal shows; terminal_screen_open sizes and clears both.
  ScreenBuffer back;
  ScreenBuffer front;
  bool screen_ready = false;
  bool front_valid = false;
  bool screen_mode = false; // false: streaming, until the program first clears the whole screen
  // Where the terminal's cursor stands, the attribute in force and what the terminal makes of
  // the bytes: not known before terminal_screen_open asks. Every starting value here is zero, so
  // that the buffers stay out of the program's file.
  TerminalState shown = {0, 0, 0, false, {false, false}};
  FrameBytes frame;
  char title[256] = "";
  bool stdout_is_terminal = false;
};
ScreenState state;

const char screen_modes_reset[] = TERMINAL_RESET_MODES TERMINAL_RESET_SCROLL_KEEPING_CURSOR;
// xterm keeps a stack of titles: push before setting ours, pop when giving the terminal back.
const char title_push[] = "\x1b[22;0t";

// Frames reach the terminal only while the program owns it; otherwise they are dropped. What it
// does not take of one is kept whole.
static_assert(sizeof(FrameBytes::data) <= terminal_write_room, "a frame's rest must fit");
void send_frames_while_owned() {
  state.frame.send = terminal_owned() ? terminal_write : nullptr;
}

void follow_resize() {
  if (!signals_take_resize()) return;
  int columns = 0, rows = 0;
  terminal_size(&columns, &rows);
  screen_resize(&state.back, columns, rows);
  state.front.width = state.back.width;
  state.front.height = state.back.height;
  state.front_valid = false;
}

void append_title() {
  if (state.title[0] == '\0' || terminal_is_plain() || !terminal_has_title()) return;
  if (terminal_title_push_due()) frame_append(&state.frame, title_push, sizeof title_push - 1);
  frame_append(&state.frame, "\x1b]0;", 4);
  frame_append(&state.frame, state.title, strlen(state.title));
  frame_append(&state.frame, "\x07", 1);
}

// Frames go to the terminal only while the program owns it; taken again, it is repainted, with
// the title.
void follow_foreground() {
  if (terminal_follow_foreground()) {
    terminal_screen_forget_shown();
    append_title();
  }
  send_frames_while_owned();
  if (!terminal_owned()) state.front_valid = false;
}

// Streamed text goes out in the current attribute.
void stream_attr() {
  const uint16_t attr = displayed_attr(state.back.attr, state.shown.traits);
  if (state.shown.attr != attr) {
    char sequence[32];
    frame_append(&state.frame, sequence,
                 sgr_for_attr(attr, state.shown.attr, state.shown.traits, sequence));
    state.shown.attr = attr;
  }
}

// Colours unless the terminal has none or NO_COLOR asks for none.
TerminalTraits traits_of_terminal() {
  const char* const no_colour = getenv("NO_COLOR");
  TerminalTraits traits;
  traits.colours = (no_colour == nullptr || no_colour[0] == '\0') && terminal_shows_colours();
  traits.hides_cursor = terminal_hides_cursor();
  return traits;
}

// A byte in streaming mode goes out as it is.
void stream_byte(unsigned char byte) {
  stream_attr();
  char glyph[4];
  if (screen_byte_acts(byte)) {
    frame_append(&state.frame, reinterpret_cast<const char*>(&byte), 1);
  } else {
    frame_append(&state.frame, glyph, glyph_bytes_for(byte, glyph));
  }
}

// A character of the user's text goes out in the locale's character set.
void stream_foreign(uint32_t code_point) {
  stream_attr();
  char glyph[GLYPH_BYTES_MAX];
  const uint32_t points[1] = {code_point};
  frame_append(&state.frame, glyph, foreign_glyph_bytes(points, 1, char_width(code_point), glyph));
}

} // namespace

bool terminal_screen_open() {
  if (state.screen_ready) return true;
  if (!terminal_open()) return false;
  state.shown = TerminalState{-1, -1, -1, false, traits_of_terminal()};
  state.stdout_is_terminal = terminal_is(STDOUT_FILENO);
  int columns = 0, rows = 0;
  terminal_size(&columns, &rows);
  screen_init(&state.back, columns, rows, false);
  screen_init(&state.front, columns, rows, false);
  glyphs_from_locale();
  // The user's text reaches the screen as UTF-8 in every locale (plat_console_text).
  state.back.utf8_text = true;
  send_frames_while_owned();
  state.screen_ready = true;
  return true;
}

// Standard output is the console's screen buffer; on a terminal that cannot place the cursor
// it is a stream, as when it goes to a file.
bool terminal_screen_takes_stdout() {
  return terminal_screen_open() && state.stdout_is_terminal && !terminal_is_plain();
}

void terminal_screen_text(const char* text, size_t length) {
  follow_resize();
  if (state.screen_mode) {
    screen_write(&state.back, text, length);
    return;
  }
  const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
  for (size_t i = 0; i < length; ++i) {
    uint32_t code_point = 0;
    const size_t size =
        state.back.utf8_text ? utf8_sequence(bytes + i, length - i, &code_point) : 0;
    if (size > 0) {
      screen_write(&state.back, text + i, size);
      stream_foreign(code_point);
      i += size - 1;
      continue;
    }
    screen_write_byte(&state.back, bytes[i]);
    stream_byte(bytes[i]);
  }
  state.back.scrolled = 0;
}

void terminal_screen_flush(bool repaint) {
  if (!state.screen_ready) {
    terminal_follow_foreground();
    return;
  }
  follow_resize();
  follow_foreground();
  if (repaint) state.front_valid = false;
  if (state.screen_mode && terminal_owned()) {
    render_frame(&state.back, &state.front, &state.front_valid, &state.shown, &state.frame);
  }
  frame_spill(&state.frame);
  if (state.frame.dropped) {
    state.frame.dropped = false;
    terminal_screen_forget_shown();
  }
}

void terminal_screen_forget_shown() {
  state.front_valid = false;
  state.shown.x = -1;
  state.shown.y = -1;
  state.shown.attr = -1;
}

void terminal_screen_after_launch() {
  terminal_screen_forget_shown();
  state.screen_mode = false;
  // The text streamed after the command's needs the ASCII set and autowrap, whatever it left.
  if (terminal_owned() && !terminal_is_plain()) {
    frame_append(&state.frame, screen_modes_reset, sizeof screen_modes_reset - 1);
  }
}

// --- The console primitives.

bool plat_screen_info(ScreenInfo* info) {
  if (!terminal_screen_takes_stdout()) return false;
  follow_resize();
  info->size_x = static_cast<int16_t>(state.back.width);
  info->size_y = static_cast<int16_t>(state.back.height);
  info->cursor_x = static_cast<int16_t>(state.back.cursor_x);
  info->cursor_y = static_cast<int16_t>(state.back.cursor_y);
  info->attr = state.back.attr;
  info->left = 0;
  info->top = 0;
  info->right = static_cast<int16_t>(state.back.width - 1);
  info->bottom = static_cast<int16_t>(state.back.height - 1);
  return true;
}

void plat_fill_chars(char ch, uint32_t count, int16_t x, int16_t y) {
  if (!terminal_screen_takes_stdout()) return;
  screen_fill_chars(&state.back, static_cast<unsigned char>(ch), count, x, y);
  if (!state.screen_mode && fill_is_whole_clear(count, x, y, state.back.width, state.back.height)) {
    // The program has taken the whole screen: from now on frames are drawn, not streamed.
    state.screen_mode = true;
    state.front_valid = false;
  }
}

void plat_fill_attrs(uint16_t attr, uint32_t count, int16_t x, int16_t y) {
  if (terminal_screen_takes_stdout()) screen_fill_attrs(&state.back, attr, count, x, y);
}

void plat_set_cursor(int16_t x, int16_t y) {
  if (terminal_screen_takes_stdout()) screen_set_cursor(&state.back, x, y);
}

void plat_set_attr(uint16_t attr) {
  if (terminal_screen_takes_stdout()) state.back.attr = attr;
}

// --- The window: a terminal has a title, but no window manager to find.

bool plat_set_title(const char* text) {
  if (!terminal_screen_open()) return false;
  size_t used = 0;
  for (const char* c = text; *c != '\0' && used + 1 < sizeof state.title; ++c) {
    if (static_cast<unsigned char>(*c) >= 0x20) state.title[used++] = *c;
  }
  state.title[used] = '\0';
  if (terminal_owned()) append_title();
  return true;
}

void* plat_find_console_window(const char*) {
  return nullptr;
}
void* plat_load_large_icon(int) {
  return nullptr;
}
void* plat_load_small_icon(int) {
  return nullptr;
}
int32_t plat_send_icon(void*, bool, void*) {
  return 0;
}

VORBELIN_FRESH_STATE(screen)
