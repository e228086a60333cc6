// The executable's main: the run's end goes through its exit hooks and the platform's exit.
#include "app/vorbelin.h"
#include "util/run_end.h"

int main(int argc, char** argv) {
  end_run(vorbelin_main(argc, argv));
}
