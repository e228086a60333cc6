// Frames for a console that takes a rectangle of cells in one call.
#include "platform/console_frame.h"

namespace {

// A foreign character's index may equal a byte: the kind counts too.
bool same_char_and_attr(const ScreenCell& a, const ScreenCell& b) {
  return a.ch == b.ch && a.kind == b.kind && a.attr == b.attr;
}

} // namespace

bool fill_is_whole_clear(uint32_t count, int x, int y, int width, int height) {
  return x == 0 && y == 0 && count >= static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
}

FillPlan plan_fill(FrameState* state, bool characters, bool held, bool whole, bool fits) {
  FillPlan plan = {false, true, false, false};
  if (state->framed && !held) {
    plan.stop_framing = true;
    state->framed = false;
    state->below_written = true;
  } else if (state->framed) {
    plan.into_copy = true;
    state->send_whole = state->send_whole || whole;
    plan.into_console = whole && state->below_written;
    if (!plan.into_console) return plan;
    // The whole clear, characters and attributes, reaches every row.
    if (!characters) state->below_written = false;
    return plan;
  }
  plan.start_framing = !characters && state->cleared_chars && whole && fits;
  state->cleared_chars = characters && whole;
  return plan;
}

bool copy_holds_fill(const ScreenBuffer* copy, uint32_t count, int x, int y, int console_height) {
  if (x < 0 || y < 0 || x >= copy->width) return false;
  if (fill_is_whole_clear(count, x, y, copy->width, console_height)) return true;
  const uint64_t start =
      static_cast<uint64_t>(y) * static_cast<uint64_t>(copy->width) + static_cast<uint64_t>(x);
  return start + count <= static_cast<uint64_t>(copy->width) * static_cast<uint64_t>(copy->height);
}

bool frame_changed_rect(const ScreenBuffer* back, const ScreenBuffer* front, int rows,
                        CellRect* rect) {
  CellRect found = {back->width, back->height, -1, -1};
  const int last_row = rows < back->height ? rows : back->height;
  for (int y = 0; y < last_row; ++y) {
    const ScreenCell* const row = screen_row(back, y);
    const ScreenCell* const shown = screen_row(front, y);
    int x = 0;
    while (x < back->width && same_char_and_attr(row[x], shown[x])) ++x;
    if (x == back->width) continue;
    int last = back->width - 1;
    while (same_char_and_attr(row[last], shown[last])) --last;
    if (x < found.left) found.left = x;
    if (last > found.right) found.right = last;
    if (y < found.top) found.top = y;
    found.bottom = y;
  }
  if (found.right < 0) return false;
  *rect = found;
  return true;
}

int frame_row_after(const ScreenBuffer* screen, const char* text, size_t length) {
  const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(text);
  TextCursor cursor = {screen->cursor_x, screen->cursor_y, screen->last_put >= 0};
  for (size_t i = 0; i < length;) {
    const TextPiece piece = screen_text_piece(screen, cursor, bytes + i, length - i);
    screen_cursor_over(screen->width, &cursor, piece);
    i += piece.size;
  }
  return cursor.y;
}
