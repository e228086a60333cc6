// The executable's main: the run's end goes through the platform's exit and its hooks.
#include "app/vorbelin.h"
#include "console/run_end.h"

int main(int argc, char** argv) {
  end_run(vorbelin_main(argc, argv));
}
