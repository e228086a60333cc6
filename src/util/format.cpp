// A small printf engine: decimal integers, characters and texts, padded and bounded.
#include "util/format.h"

#include <climits>
#include <cstring>

namespace {

// The text being built: what does not fit the room is counted but not stored.
struct Output {
  char* out;
  size_t room;
  size_t length;
};

void put_text(Output* o, const char* text, size_t count) {
  if (o->length + 1 < o->room) {
    const size_t fits = o->room - 1 - o->length;
    memcpy(o->out + o->length, text, count < fits ? count : fits);
  }
  o->length += count;
}

void put_run(Output* o, char c, int count) {
  for (; count > 0; --count) {
    if (o->length + 1 < o->room) o->out[o->length] = c;
    ++o->length;
  }
}

struct Spec {
  bool left, zero, plus, space;
  int width;     // 0: none
  int precision; // -1: none
  int longs;     // the count of 'l' modifiers, 0 to 2
  char conversion;
};

int read_count(const char** p) {
  int value = 0;
  for (; **p >= '0' && **p <= '9'; ++*p) {
    value = value > (INT_MAX - 9) / 10 ? INT_MAX : value * 10 + (**p - '0');
  }
  return value;
}

// Reads what follows a '%' up to and including the conversion; gives the position after it.
const char* read_spec(const char* p, Spec* spec) {
  *spec = Spec{false, false, false, false, 0, -1, 0, '\0'};
  for (;; ++p) {
    if (*p == '-') {
      spec->left = true;
    } else if (*p == '0') {
      spec->zero = true;
    } else if (*p == '+') {
      spec->plus = true;
    } else if (*p == ' ') {
      spec->space = true;
    } else {
      break;
    }
  }
  spec->width = read_count(&p);
  if (*p == '.') {
    ++p;
    spec->precision = read_count(&p);
  }
  for (; *p == 'l' && spec->longs < 2; ++p) ++spec->longs;
  spec->conversion = *p;
  return *p != '\0' ? p + 1 : p;
}

// Sign, then padding, leading zeros and the body, as the flags and the width say.
void put_field(Output* o, const Spec& spec, const char* sign, int zeros, const char* body,
               size_t body_length) {
  const size_t sign_length = strlen(sign);
  const size_t total = sign_length + static_cast<size_t>(zeros) + body_length;
  const int pad =
      static_cast<size_t>(spec.width) > total ? spec.width - static_cast<int>(total) : 0;
  const bool zero_pad = spec.zero && !spec.left && spec.precision < 0 && spec.conversion != 's' &&
                        spec.conversion != 'c';
  if (!spec.left && !zero_pad) put_run(o, ' ', pad);
  put_text(o, sign, sign_length);
  if (zero_pad) put_run(o, '0', pad);
  put_run(o, '0', zeros);
  put_text(o, body, body_length);
  if (spec.left) put_run(o, ' ', pad);
}

void put_integer(Output* o, const Spec& spec, unsigned long long magnitude, bool negative) {
  char digits[24];
  char* start = digits + sizeof digits;
  // A precision of 0 shows the value 0 as no digits at all.
  while (magnitude != 0 || (start == digits + sizeof digits && spec.precision != 0)) {
    *--start = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  const int count = static_cast<int>(digits + sizeof digits - start);
  const int zeros = spec.precision > count ? spec.precision - count : 0;
  const bool is_signed = spec.conversion != 'u';
  const char* sign = negative                  ? "-"
                     : is_signed && spec.plus  ? "+"
                     : is_signed && spec.space ? " "
                                               : "";
  put_field(o, spec, sign, zeros, start, static_cast<size_t>(count));
}

void put_signed(Output* o, const Spec& spec, va_list* args) {
  long long value = 0;
  if (spec.longs == 2) {
    value = va_arg(*args, long long);
  } else if (spec.longs == 1) {
    value = va_arg(*args, long);
  } else {
    value = va_arg(*args, int);
  }
  // The magnitude in unsigned arithmetic, so that the most negative value has one too.
  const unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
  put_integer(o, spec, magnitude, value < 0);
}

void put_unsigned(Output* o, const Spec& spec, va_list* args) {
  unsigned long long value = 0;
  if (spec.longs == 2) {
    value = va_arg(*args, unsigned long long);
  } else if (spec.longs == 1) {
    value = va_arg(*args, unsigned long);
  } else {
    value = va_arg(*args, unsigned int);
  }
  put_integer(o, spec, value, false);
}

void put_string(Output* o, const Spec& spec, const char* text) {
  if (text == nullptr) text = "(null)";
  size_t length = 0;
  while (text[length] != '\0' &&
         (spec.precision < 0 || length < static_cast<size_t>(spec.precision))) {
    ++length;
  }
  put_field(o, spec, "", 0, text, length);
}

} // namespace

int format_text(char* out, size_t room, const char* format, va_list args) {
  Output o{out, room, 0};
  va_list values;
  va_copy(values, args);
  const char* p = format;
  while (*p != '\0') {
    const char* next = strchr(p, '%');
    const size_t plain = next != nullptr ? static_cast<size_t>(next - p) : strlen(p);
    put_text(&o, p, plain);
    if (next == nullptr) break;
    Spec spec;
    const char* after = read_spec(next + 1, &spec);
    const char c = spec.conversion;
    if (c == 'd' || c == 'i') {
      put_signed(&o, spec, &values);
    } else if (c == 'u') {
      put_unsigned(&o, spec, &values);
    } else if (c == 's') {
      put_string(&o, spec, va_arg(values, const char*));
    } else if (c == 'c') {
      const char ch = static_cast<char>(va_arg(values, int));
      put_field(&o, spec, "", 0, &ch, 1);
    } else if (c == '%') {
      put_text(&o, "%", 1);
    } else {
      put_text(&o, next, strlen(next));
      break;
    }
    p = after;
  }
  va_end(values);
  if (room > 0) out[o.length < room ? o.length : room - 1] = '\0';
  return o.length > INT_MAX ? INT_MAX : static_cast<int>(o.length);
}

int format_into(char* out, size_t room, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = format_text(out, room, format, args);
  va_end(args);
  return length;
}
