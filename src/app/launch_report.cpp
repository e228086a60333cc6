// What a mode says of a launch.
#include "app/launch_report.h"

#include "app/launch.h"
#include "console/console.h"

bool launch_and_report(const RunSettings& settings, LaunchSay say) {
  const char* const command = settings.command_shown;
  if (settings.announce) say(LaunchStage::launching, command, "");
  const LaunchOutcome outcome = launch_command(settings.interpreter, settings.command);
  if (outcome.result == LaunchResult::failed) {
    say(LaunchStage::failed, command, outcome.reason);
    return false;
  }
  if (outcome.result == LaunchResult::pending) {
    say(LaunchStage::pending, command, "");
  } else if (settings.announce) {
    say(LaunchStage::completed, command, "");
  }
  return true;
}
