// The executable's main: the run's end goes through the platform's exit and its hooks.
#include "app/vorbelin.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  plat_exit(vorbelin_main(argc, argv));
}
