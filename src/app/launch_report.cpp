// What a mode says of a launch.
#include "app/launch_report.h"

#include "app/launch.h"
#include "console/console.h"

bool launch_and_report(const RunSettings& settings, const LaunchTexts& texts) {
  if (settings.announce) con_print(texts.launching, settings.command_shown);
  const LaunchOutcome outcome = launch_command(settings.interpreter, settings.command);
  if (outcome.result == LaunchResult::failed) {
    con_print(texts.failed, settings.command_shown, outcome.reason);
    return false;
  }
  if (outcome.result == LaunchResult::pending) {
    con_print(texts.pending, settings.command_shown);
  } else if (settings.announce) {
    con_print(texts.completed, settings.command_shown);
  }
  return true;
}
