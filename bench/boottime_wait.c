/* The floor of the suspend benchmark: takes the program's command line (COMMAND /TIME=SECONDS
   or /TIME=hh:mm, UTC) and waits for it with one absolute sleep on the boot-time clock, which
   counts suspended time, then starts the command through /bin/sh in a session of its own.
   Whatever it shows as lateness after a wake is the guest's own (TCG, the launch, the reading).
   Usage: bench/suspend.sh --label floor PATH, PATH built from this file. */
#include <signal.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

int main(int argc, char** argv) {
  struct timespec due, wall;
  clock_gettime(CLOCK_BOOTTIME, &due);
  clock_gettime(CLOCK_REALTIME, &wall);
  long delay = 0;
  int hour, minute;
  for (int i = 2; i < argc; ++i) {
    if (sscanf(argv[i], "/TIME=%d:%d", &hour, &minute) == 2) {
      long target = wall.tv_sec - wall.tv_sec % 86400 + hour * 3600L + minute * 60L;
      if (target <= wall.tv_sec) target += 86400;
      delay = target - wall.tv_sec;
      /* From the wall clock's whole second, not from now. */
      due.tv_nsec -= wall.tv_nsec;
      if (due.tv_nsec < 0) {
        due.tv_nsec += 1000000000;
        due.tv_sec -= 1;
      }
    } else {
      sscanf(argv[i], "/TIME=%ld", &delay);
    }
  }
  if (argc < 2) return 2;
  /* As session leader on a terminal its end hangs up its group: the command must outlive it. */
  signal(SIGHUP, SIG_IGN);
  due.tv_sec += delay;
  while (clock_nanosleep(CLOCK_BOOTTIME, TIMER_ABSTIME, &due, NULL) != 0) {
  }
  if (fork() == 0) {
    setsid();
    execl("/bin/sh", "sh", "-c", argv[1], (char*)NULL);
    _exit(127);
  }
  return 0;
}
