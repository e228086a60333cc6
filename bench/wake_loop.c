/* The machine's own cost of a waiting program: sleeps the given seconds, the given number of
   times, and after each sleep does nothing else, or, given a byte count, does the least a
   program that redraws must do: looks for a key on its terminal and writes that many bytes to
   it. Usage: wake_loop SECONDS COUNT [BYTES] */
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  const struct timespec pause = {argc > 1 ? atoi(argv[1]) : 5, 0};
  const int count = argc > 2 ? atoi(argv[2]) : 12;
  const int bytes = argc > 3 ? atoi(argv[3]) : 0;
  char frame[4096];
  const size_t length = bytes > 0 && (size_t)bytes < sizeof frame ? (size_t)bytes : 0;
  memset(frame, ' ', sizeof frame);
  frame[0] = '\r';
  for (int i = 0; i < count; ++i) {
    nanosleep(&pause, NULL);
    if (length == 0) continue;
    struct pollfd terminal = {STDIN_FILENO, POLLIN, 0};
    poll(&terminal, 1, 0);
    if (write(STDOUT_FILENO, frame, length) < 0) return 1;
  }
  return 0;
}
