/* The machine's own cost of waking a sleeping process: sleeps the given seconds, the given
   number of times, and does nothing else. Usage: wake_loop SECONDS COUNT */
#include <stdlib.h>
#include <time.h>

int main(int argc, char** argv) {
  const struct timespec pause = {argc > 1 ? atoi(argv[1]) : 5, 0};
  const int count = argc > 2 ? atoi(argv[2]) : 12;
  for (int i = 0; i < count; ++i) nanosleep(&pause, NULL);
  return 0;
}
