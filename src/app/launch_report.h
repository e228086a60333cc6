// What a mode says of a launch: the command as the console shows it, and what came of it.
#pragma once

#include "app/run_settings.h"

enum class LaunchStage { launching, completed, failed, pending };
// Says a stage of a launch in a mode's own words, its formats literals the compiler checks: the
// command as the console shows it, and a failure's reason.
using LaunchSay = void (*)(LaunchStage stage, const char* command, const char* reason);
// Launches the command and says so: a failure and a launch still pending are said even in quiet
// mode. False when the launch failed.
bool launch_and_report(const RunSettings& settings, LaunchSay say);
