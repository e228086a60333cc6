// Console input on a terminal: key events decoded from the terminal's bytes. A key is read a
// byte at a time, and only when the program asks for one, so that the keys it does not read stay
// in the terminal for whoever reads it next (the shell, after the run). In the background no
// key is read.
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/key_decoder.h"
#include "platform/posix/screen.h"
#include "platform/posix/terminal.h"

namespace {

constexpr int escape_wait_ms = 50; // a lone ESC is told from a sequence by this pause
constexpr int background_wait_ms = 200;
unsigned char pending[16]; // the bytes of the key being read
size_t pending_length = 0;
InputEvent events[64];
uint32_t event_count = 0;
bool input_ended = false;

// Waits up to timeout_ms (-1: without end) for a byte and reads it.
bool read_byte(int timeout_ms) {
  pollfd poll_fd = {terminal.fd, POLLIN, 0};
  if (poll(&poll_fd, 1, timeout_ms) <= 0) return false;
  unsigned char byte = 0;
  const ssize_t got = read(terminal.fd, &byte, 1);
  if (got == 1) {
    pending[pending_length++] = byte;
    return true;
  }
  // End of input, or an error while the terminal is gone (it no longer names a foreground).
  if (got == 0 || (errno != EINTR && errno != EAGAIN && tcgetpgrp(terminal.fd) < 0)) {
    input_ended = true;
  }
  return false;
}

void drop_pending(size_t count) {
  memmove(pending, pending + count, pending_length - count);
  pending_length -= count;
}

// Decodes what is pending; true when a key event was queued.
bool decode_pending(bool complete) {
  InputEvent event;
  size_t consumed = 1;
  const DecodeResult result = decode_key(pending, pending_length, complete, &event, &consumed);
  if (result == DecodeResult::need_more) return false;
  drop_pending(consumed);
  if (result == DecodeResult::skip) return false;
  if (event_count < sizeof events / sizeof events[0]) events[event_count++] = event;
  return true;
}

// Reads the bytes of one key, waiting up to wait_ms for its first one. The bytes of a sequence
// come together; a lone ESC is known by the pause after it.
void take_key(int wait_ms) {
  for (;;) {
    if (pending_length == sizeof pending) {
      if (decode_pending(true)) return;
      continue;
    }
    const bool started = pending_length > 0;
    if (!read_byte(started ? escape_wait_ms : wait_ms)) {
      if (started) decode_pending(true); // a lone ESC, or a sequence cut short
      return;
    }
    if (decode_pending(false)) return;
  }
}

bool keys_readable() {
  flush_screen(); // takes the terminal when the program has come to the foreground
  return terminal_owned && !input_ended;
}

} // namespace

bool plat_input_open() {
  return terminal_open();
}

bool plat_input_count(uint32_t* count) {
  if (terminal.fd < 0) return false;
  if (event_count == 0 && terminal_owned && !input_ended) take_key(0);
  *count = event_count;
  return true;
}

bool plat_input_peek(InputEvent* out, uint32_t room, uint32_t* got) {
  *got = 0;
  for (uint32_t i = 0; i < event_count && i < room; ++i) out[(*got)++] = events[i];
  return true;
}

// Blocks until a key comes; in the background, until the program is back in the foreground.
bool plat_input_read(InputEvent* event, uint32_t* got) {
  *got = 0;
  if (terminal.fd < 0) return false;
  while (event_count == 0) {
    if (input_ended) return false;
    flush_all();
    if (!keys_readable()) {
      poll(nullptr, 0, background_wait_ms);
      continue;
    }
    take_key(-1);
  }
  *event = events[0];
  memmove(events, events + 1, (event_count - 1) * sizeof events[0]);
  --event_count;
  *got = 1;
  return true;
}

bool plat_input_get_mode(uint32_t* mode) {
  *mode = terminal.input_mode;
  return terminal.fd >= 0;
}

bool plat_input_set_mode(uint32_t mode) {
  if (terminal.fd < 0) return false;
  terminal_set_input_mode(mode);
  return true;
}
