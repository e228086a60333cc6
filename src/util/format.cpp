// A small printf engine: decimal integers, characters and texts, padded and bounded.
#include "util/format.h"

#include <cassert>
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

struct Directive {
  bool left, zero, plus, space;
  int width;     // 0: none
  int precision; // -1: none
  int longs;     // the count of 'l' modifiers, 0 to 2
  char type;     // the conversion character
};

int read_count(const char** p) {
  int value = 0;
  for (; **p >= '0' && **p <= '9'; ++*p) {
    value = value > (INT_MAX - 9) / 10 ? INT_MAX : value * 10 + (**p - '0');
  }
  return value;
}

// Reads what follows a '%' up to and including the conversion; gives the position after it.
const char* read_directive(const char* p, Directive* directive) {
  *directive = Directive{false, false, false, false, 0, -1, 0, '\0'};
  for (;; ++p) {
    if (*p == '-') {
      directive->left = true;
    } else if (*p == '0') {
      directive->zero = true;
    } else if (*p == '+') {
      directive->plus = true;
    } else if (*p == ' ') {
      directive->space = true;
    } else {
      break;
    }
  }
  directive->width = read_count(&p);
  if (*p == '.') {
    ++p;
    directive->precision = read_count(&p);
  }
  for (; *p == 'l' && directive->longs < 2; ++p) ++directive->longs;
  directive->type = *p;
  return *p != '\0' ? p + 1 : p;
}

// Sign, then padding, leading zeros and the body, as the flags and the width say.
void put_field(Output* o, const Directive& directive, const char* sign, int zeros, const char* body,
               size_t body_length) {
  const size_t sign_length = strlen(sign);
  const size_t total = sign_length + static_cast<size_t>(zeros) + body_length;
  const int pad =
      static_cast<size_t>(directive.width) > total ? directive.width - static_cast<int>(total) : 0;
  const bool zero_pad = directive.zero && !directive.left && directive.precision < 0 &&
                        directive.type != 's' && directive.type != 'c';
  if (!directive.left && !zero_pad) put_run(o, ' ', pad);
  put_text(o, sign, sign_length);
  if (zero_pad) put_run(o, '0', pad);
  put_run(o, '0', zeros);
  put_text(o, body, body_length);
  if (directive.left) put_run(o, ' ', pad);
}

void put_integer(Output* o, const Directive& directive, unsigned long long magnitude,
                 bool negative) {
  char digits[24];
  char* start = digits + sizeof digits;
  // A precision of 0 shows the value 0 as no digits at all.
  while (magnitude != 0 || (start == digits + sizeof digits && directive.precision != 0)) {
    *--start = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  }
  const int count = static_cast<int>(digits + sizeof digits - start);
  const int zeros = directive.precision > count ? directive.precision - count : 0;
  const bool is_signed = directive.type != 'u';
  const char* sign = negative                       ? "-"
                     : is_signed && directive.plus  ? "+"
                     : is_signed && directive.space ? " "
                                                    : "";
  put_field(o, directive, sign, zeros, start, static_cast<size_t>(count));
}

void put_signed(Output* o, const Directive& directive, va_list* args) {
  long long value = 0;
  if (directive.longs == 2) {
    value = va_arg(*args, long long);
  } else if (directive.longs == 1) {
    value = va_arg(*args, long);
  } else {
    value = va_arg(*args, int);
  }
  // The magnitude in unsigned arithmetic, so that the most negative value has one too.
  const unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
  put_integer(o, directive, magnitude, value < 0);
}

void put_unsigned(Output* o, const Directive& directive, va_list* args) {
  unsigned long long value = 0;
  if (directive.longs == 2) {
    value = va_arg(*args, unsigned long long);
  } else if (directive.longs == 1) {
    value = va_arg(*args, unsigned long);
  } else {
    value = va_arg(*args, unsigned int);
  }
  put_integer(o, directive, value, false);
}

void put_string(Output* o, const Directive& directive, const char* text) {
  if (text == nullptr) text = "(null)";
  size_t length = 0;
  while (text[length] != '\0' &&
         (directive.precision < 0 || length < static_cast<size_t>(directive.precision))) {
    ++length;
  }
  put_field(o, directive, "", 0, text, length);
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
    Directive directive;
    const char* after = read_directive(next + 1, &directive);
    const char c = directive.type;
    if (c == 'd' || c == 'i') {
      put_signed(&o, directive, &values);
    } else if (c == 'u') {
      put_unsigned(&o, directive, &values);
    } else if (c == 's') {
      put_string(&o, directive, va_arg(values, const char*));
    } else if (c == 'c') {
      const char ch = static_cast<char>(va_arg(values, int));
      put_field(&o, directive, "", 0, &ch, 1);
    } else if (c == '%') {
      put_text(&o, "%", 1);
    } else {
      // Every format is the program's own, checked by the compiler against printf's rules: one
      // this engine cannot follow is a mistake, which stops tests and debug builds. Elsewhere
      // the rest is copied as it stands, since the type of its value is unknown.
      assert(!"a conversion the printf engine does not know");
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
