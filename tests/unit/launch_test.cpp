// The launch line handed to the command processor.
#include <gtest/gtest.h>

#include "app/launch.h"
#include "platform/sim/sim.h"

TEST(Launch, LaunchLineForBothInterpreters) {
  sim_reset(SimConfig());
  sim_call([] {
    launch_command("CMD", "backup.exe");
    launch_command("COMMAND", "backup.exe");
    launch_command("CMD", "notepad readme.txt");
  });
  EXPECT_EQ(sim_result().launches,
            (std::vector<std::string>{"CMD /C START backup.exe", "COMMAND /C START backup.exe",
                                      "CMD /C START notepad readme.txt"}));
}
