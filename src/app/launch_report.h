// What a mode says of a launch: the command as the console shows it, and what came of it.
#pragma once

#include "app/run_settings.h"

// The texts a mode says a launch with, each taking the command (a failure's also the reason).
struct LaunchTexts {
  const char* launching;
  const char* completed;
  const char* failed;
  const char* pending;
};
// Launches the command and says so: a failure and a launch still pending are said even in quiet
// mode. False when the launch failed.
bool launch_and_report(const RunSettings& settings, const LaunchTexts& texts);
