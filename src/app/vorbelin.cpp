// Start-up order: defaults, window identity, the command line, the /DEBUG pause, then one mode.
#include "app/vorbelin.h"

#include "app/countdown.h"
#include "app/run_settings.h"
#include "app/time_of_day.h"
#include "console/console.h"
#include "console/key_input.h"
#include "console/window_identity.h"

int vorbelin_main(int count, char** words) {
  RunSettings settings = default_run_settings();
  setup_window_identity();
  read_run_settings(count, words, &settings);
  if (settings.debug) {
    out_print("LAUNCH-AT is %s\n", settings.launch_at ? "True" : "False");
    key_prompt("Press a key...");
  }
  const bool launched = settings.launch_at ? run_time_of_day(&settings) : run_countdown(&settings);
  reset_window_icon();
  // A batch file tests ERRORLEVEL: a finished run is a success, unless its launch failed.
  return launched ? 0 : 2;
}
