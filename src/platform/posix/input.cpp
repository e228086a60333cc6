// Console input on a terminal: key events decoded from the terminal's bytes. A key is read a
// byte at a time, and only when the program asks for one, so that the keys it does not read stay
// in the terminal for whoever reads it next (the shell, after the run). In the background no
// key is read.
//
// A terminal sends Alt with a key as ESC and the key at once, so ESC is told from Alt by what
// arrived together. Keys wait unread until the next pass, so the arrivals are noted as they come:
// the sleep between passes watches for the first one, and each key read notes what is there.
#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/flush.h"
#include "platform/posix/input.h"
#include "platform/posix/key_decoder.h"
#include "platform/posix/system.h"
#include "platform/posix/terminal.h"
#include "platform/posix/timers.h"

namespace {

constexpr int escape_wait_ms = 50; // a lone ESC is told from a sequence by this pause
constexpr int background_wait_ms = 200;

// Where the stream stood when it was looked at: from first_ms to last_ms nothing had arrived
// past position.
struct ArrivalNote {
  uint64_t position;
  int64_t first_ms, last_ms;
};

struct InputState {
  unsigned char pending[32] = {}; // the bytes of the key being read, pending_length of them
  size_t pending_length = 0;
  InputEvent events[64] = {}; // event_count of them
  uint32_t event_count = 0;
  bool input_ended = false;

  // Bytes read from the terminal since the start, and notes of where the stream stood when it
  // was looked at. A byte came apart from the one before it only when the stream was seen
  // standing between them for the whole pause.
  uint64_t bytes_read = 0;
  ArrivalNote notes[8] = {}; // note_count of them
  int note_count = 0;
  // The last sleep ended with nothing to read: a look for keys right after it needs no system
  // call. What arrives later is seen by the next sleep's watch at once.
  bool quiet_after_sleep = false;
  // A sequence longer than any key is dropped through its final byte.
  bool dropping_sequence = false;
};
InputState state;

// After a hang-up (EIO, POLLHUP) nothing more will ever be read.
void note_hang_up(short events) {
  if (events & (POLLHUP | POLLERR | POLLNVAL)) state.input_ended = true;
}

// Out of the foreground the terminal is another job's, or gone: a hang-up shows without a read.
// A look that fails tells nothing; the next one looks again.
void look_for_hang_up() {
  pollfd poll_fd = {terminal_fd(), 0, 0};
  if (sys_poll(&poll_fd, 1, 0) > 0) note_hang_up(poll_fd.revents);
}

size_t bytes_waiting() {
  int count = 0;
  if (sys_ioctl(terminal_fd(), FIONREAD, &count) != 0) {
    if (errno == EIO) state.input_ended = true;
    return 0;
  }
  return count > 0 ? static_cast<size_t>(count) : 0;
}

// Notes where the stream stands now; gives how many bytes wait unread.
size_t note_arrivals() {
  const size_t waiting = bytes_waiting();
  const uint64_t position = state.bytes_read + waiting;
  const int64_t now = suspend_clock_ms();
  // Notes behind what has been read tell nothing any more; the one where it stands still does.
  // Another reader of the terminal took bytes: what was noted before tells nothing either.
  int kept = 0;
  for (int i = 0; i < state.note_count; ++i) {
    if (state.notes[i].position >= state.bytes_read && state.notes[i].position <= position) {
      state.notes[kept++] = state.notes[i];
    }
  }
  state.note_count = kept;
  if (state.note_count > 0 && state.notes[state.note_count - 1].position == position) {
    state.notes[state.note_count - 1].last_ms = now;
    return waiting;
  }
  // With no room the last note gives way: a pause it held is forgotten, and its bytes count as
  // having come together.
  if (state.note_count == sizeof state.notes / sizeof state.notes[0]) --state.note_count;
  state.notes[state.note_count++] = ArrivalNote{position, now, now};
  return waiting;
}

// When the byte at the stream's position (counted from 1) was first seen; now when never.
int64_t first_seen(uint64_t position) {
  for (int i = 0; i < state.note_count; ++i) {
    if (state.notes[i].position >= position) return state.notes[i].first_ms;
  }
  return suspend_clock_ms();
}

// The stream was seen standing at position for the whole pause.
bool paused_at(uint64_t position) {
  for (int i = 0; i < state.note_count; ++i) {
    if (state.notes[i].position == position) {
      return state.notes[i].last_ms - state.notes[i].first_ms >= escape_wait_ms;
    }
  }
  return false;
}

// Waits up to timeout_ms (-1: without end) for a byte and reads it.
bool read_byte(int timeout_ms) {
  pollfd poll_fd = {terminal_fd(), POLLIN, 0};
  const int ready = sys_poll(&poll_fd, 1, timeout_ms);
  if (ready < 0 && errno != EINTR && timeout_ms != 0) {
    // The poll itself failed (the system short of memory): a pause stands for the wait, so that
    // a read that waits for a key tries again without spinning.
    const timespec pause = {0, background_wait_ms * 1000000L};
    sys_nanosleep(&pause, nullptr);
  }
  if (ready <= 0) return false;
  unsigned char byte = 0;
  const ssize_t got = sys_read(terminal_fd(), &byte, 1);
  if (got == 1) {
    state.pending[state.pending_length++] = byte;
    ++state.bytes_read;
    return true;
  }
  // End of input, or an error while the terminal is gone (it no longer names a foreground).
  if (got == 0 || errno == EIO ||
      (errno != EINTR && errno != EAGAIN && sys_tcgetpgrp(terminal_fd()) < 0)) {
    state.input_ended = true;
  }
  note_hang_up(poll_fd.revents);
  return false;
}

// Reads the byte after the last one read when it came within the pause after it, however late
// the program looks: waits for it until the pause has passed since the last byte was first
// seen. False when the key's bytes have ended.
bool read_byte_together() {
  const int64_t seen = first_seen(state.bytes_read);
  for (;;) {
    if (note_arrivals() > 0) return !paused_at(state.bytes_read) && read_byte(0);
    const int64_t left = seen + escape_wait_ms - suspend_clock_ms();
    if (left <= 0 || state.input_ended) return false;
    pollfd poll_fd = {terminal_fd(), POLLIN, 0};
    if (sys_poll(&poll_fd, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
    note_hang_up(poll_fd.revents);
  }
}

void drop_pending(size_t count) {
  memmove(state.pending, state.pending + count, state.pending_length - count);
  state.pending_length -= count;
}

// Decodes what is pending; true when a key event was queued.
bool decode_pending(bool complete) {
  InputEvent event;
  size_t consumed = 1;
  const DecodeResult result =
      decode_key(state.pending, state.pending_length, complete, &event, &consumed);
  if (result == DecodeResult::need_more) {
    if (complete) state.pending_length = 0; // no key can come of it
    return false;
  }
  drop_pending(consumed);
  if (result == DecodeResult::skip) return false;
  if (state.event_count < sizeof state.events / sizeof state.events[0]) {
    state.events[state.event_count++] = event;
  }
  return true;
}

// Reads the bytes of one key, waiting up to wait_ms for its first one. A key's bytes are those
// that came within the pause of each other, however they were split.
void take_key(int wait_ms) {
  const bool quiet = state.quiet_after_sleep;
  state.quiet_after_sleep = false;
  for (;;) {
    if (state.pending_length == 0 && !state.dropping_sequence) {
      if (wait_ms == 0 && (quiet || note_arrivals() == 0)) return;
      if (!read_byte(wait_ms)) return;
    } else if (!read_byte_together()) {
      state.dropping_sequence = false;
      // What is pending came alone: ESC, Alt with a key, or a sequence cut short.
      while (state.pending_length > 0) {
        if (decode_pending(true)) return;
      }
      continue;
    }
    if (state.dropping_sequence) {
      const unsigned char last = state.pending[state.pending_length - 1];
      state.pending_length = 0;
      state.dropping_sequence = last < 0x40 || last > 0x7E;
      continue;
    }
    if (decode_pending(false)) return;
    if (state.pending_length == sizeof state.pending) {
      state.pending_length = 0;
      state.dropping_sequence = true;
    }
  }
}

} // namespace

WatchEnd watch_input_until(int64_t end_ms, bool watch_clock_set) {
  state.quiet_after_sleep = false;
  for (;;) {
    if (!terminal_owned() || state.input_ended || terminal_modes_left_alone()) {
      state.note_count = 0; // whoever has the terminal now reads what arrives
      return WatchEnd::unwatched;
    }
    // Keys already waiting unread answer at once: the rest of the sleep does not watch.
    pollfd fds[3] = {{terminal_fd(), POLLIN, 0}};
    const int timers = timers_arm(end_ms, watch_clock_set, fds + 1);
    const int ready = sys_poll(fds, 1 + timers, timers_poll_ms(end_ms));
    if (ready < 0 && errno == EINTR) {
      flush_screen(); // a resize or a continue: the screen now, the sleep goes on
      continue;
    }
    // The poll itself failed (the system short of memory), and would again at once: the rest of
    // the sleep goes without the watch.
    if (ready < 0) return WatchEnd::unwatched;
    if (ready > 0 && fds[0].revents != 0) {
      note_hang_up(fds[0].revents);
      note_arrivals();
      return state.input_ended ? WatchEnd::unwatched : WatchEnd::input;
    }
    const TimerEnd end = timers_fired(end_ms, fds + 1, timers);
    if (end == TimerEnd::clock_set) return WatchEnd::clock_set;
    if (end == TimerEnd::time) {
      state.quiet_after_sleep = true;
      return WatchEnd::deadline;
    }
  }
}

bool plat_input_open() {
  return terminal_open() && !terminal_modes_left_alone();
}

// False once the input has ended: no key will ever come.
bool plat_input_count(uint32_t* count) {
  if (terminal_fd() < 0) return false;
  if (state.event_count == 0 && !state.input_ended) {
    if (terminal_owned()) {
      take_key(0);
    } else {
      look_for_hang_up();
    }
  }
  *count = state.event_count;
  return state.event_count > 0 || !state.input_ended;
}

bool plat_input_peek(InputEvent* out, uint32_t room, uint32_t* got) {
  *got = 0;
  for (uint32_t i = 0; i < state.event_count && i < room; ++i) out[(*got)++] = state.events[i];
  return true;
}

// Blocks until a key comes; in the background, until the program is back in the foreground.
bool plat_input_read(InputEvent* event, uint32_t* got) {
  *got = 0;
  if (terminal_fd() < 0) return false;
  while (state.event_count == 0) {
    if (state.input_ended) return false;
    flush_all(); // and takes the terminal when the program has come to the foreground
    if (!terminal_owned()) {
      look_for_hang_up();
      sys_poll(nullptr, 0, background_wait_ms); // a pause: cut short, the loop looks sooner
      continue;
    }
    take_key(-1);
  }
  *event = state.events[0];
  memmove(state.events, state.events + 1, (state.event_count - 1) * sizeof state.events[0]);
  --state.event_count;
  *got = 1;
  return true;
}

bool plat_input_discard(uint32_t count, uint32_t* got) {
  *got = count < state.event_count ? count : state.event_count;
  memmove(state.events, state.events + *got, (state.event_count - *got) * sizeof state.events[0]);
  state.event_count -= *got;
  return true;
}

bool plat_input_get_mode(uint32_t* mode) {
  *mode = terminal_input_mode();
  return terminal_fd() >= 0;
}

bool plat_input_set_mode(uint32_t mode) {
  if (terminal_fd() < 0) return false;
  terminal_set_input_mode(mode);
  return true;
}

VORBELIN_FRESH_STATE(input)
