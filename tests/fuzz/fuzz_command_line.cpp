// Arbitrary lists of arbitrary words through the command line, up to where a mode would start.
// The input's words are separated by newlines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/run_settings.h"
#include "platform/sim/sim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words(1, "vorbelin");
  std::string word;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      words.push_back(word);
      word.clear();
    } else if (data[i] != 0) {
      word += static_cast<char>(data[i]);
    }
  }
  words.push_back(word);
  SimConfig config;
  config.run_limit_ms = 1000;
  sim_reset(config);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  RunSettings settings = default_run_settings();
  sim_call([&] { read_run_settings(static_cast<int>(argv.size()), argv.data(), &settings); });
  // Whatever the words, the texts stay terminated inside their buffers.
  if (settings.command[TEXT_ROOM - 1] != '\0' || settings.excepted_days[TEXT_ROOM - 1] != '\0') {
    __builtin_trap();
  }
  return 0;
}
