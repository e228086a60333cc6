// Character widths from the generated spans.
#include "platform/char_width.h"

namespace {

struct CharSpan {
  uint32_t first, last;
};

#include "platform/char_width_table.inc"

template <int count> bool in_spans(const CharSpan (&spans)[count], uint32_t code_point) {
  int low = 0, high = count - 1;
  while (low <= high) {
    const int middle = (low + high) / 2;
    if (code_point < spans[middle].first) {
      high = middle - 1;
    } else if (code_point > spans[middle].last) {
      low = middle + 1;
    } else {
      return true;
    }
  }
  return false;
}

} // namespace

int char_width(uint32_t code_point) {
  // Below the first combining mark every character takes one column.
  if (code_point < 0x0300) return 1;
  if (in_spans(zero_width_spans, code_point)) return 0;
  return in_spans(double_width_spans, code_point) ? 2 : 1;
}
