// Helpers for whole runs on the simulated backend.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/run_settings.h"
#include "platform/sim/sim.h"

// Tuesday 8 December 2026, 08:00:00 UTC.
inline int64_t tuesday_morning() {
  return sim_utc(2026, 12, 8, 8, 0, 0);
}

inline SimConfig config_at(int64_t utc_ms) {
  SimConfig config;
  config.utc_ms = utc_ms;
  return config;
}

// A whole run from a UTC clock reading, until it ends or limit_ms of simulated time (0: the
// backend's default) has passed.
inline SimRun run_from(int64_t utc_ms, const std::vector<std::string>& words,
                       int64_t limit_ms = 0) {
  SimConfig config = config_at(utc_ms);
  if (limit_ms > 0) config.run_limit_ms = limit_ms;
  sim_reset(config);
  return sim_run(words);
}

struct Parsed {
  SimRun run;
  RunSettings settings;
  std::vector<std::string> words; // as the walk left them
};

// Reads the settings of a command line (word 0 added) without running a mode.
inline Parsed parse_words(const std::vector<std::string>& words, SimConfig config = SimConfig()) {
  sim_reset(config);
  Parsed parsed;
  parsed.settings = default_run_settings();
  parsed.words.push_back("vorbelin");
  parsed.words.insert(parsed.words.end(), words.begin(), words.end());
  std::vector<char*> argv;
  for (std::string& word : parsed.words) argv.push_back(&word[0]);
  parsed.run = sim_call(
      [&] { read_run_settings(static_cast<int>(argv.size()), argv.data(), &parsed.settings); });
  for (size_t i = 0; i < argv.size(); ++i) parsed.words[i] = argv[i];
  return parsed;
}

// Every number shown as "(N seconds remaing)" on the console, in order.
inline std::vector<int> time_left_values(const std::string& console) {
  std::vector<int> values;
  const std::string tail = " seconds remaing)";
  for (size_t at = console.find(tail); at != std::string::npos; at = console.find(tail, at + 1)) {
    const size_t open = console.rfind('(', at);
    std::string digits = console.substr(open + 1, at - open - 1);
    digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
    values.push_back(std::stoi(digits));
  }
  return values;
}

inline int count_of(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// The pass sleeps, without the 10 ms of the start-up.
inline std::vector<uint32_t> pass_sleeps(const SimRun& run) {
  std::vector<uint32_t> sleeps;
  for (uint32_t ms : run.sleeps) {
    if (ms != 10) sleeps.push_back(ms);
  }
  return sleeps;
}
