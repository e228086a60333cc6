// Inputs nobody should type, and what each one does: the settings, or the message and status.
#include <climits>
#include <gtest/gtest.h>

#include "scenario/sim_helpers.h"

namespace {

struct Row {
  std::vector<std::string> words;
  int status;
  std::string console; // the message on the console, if any
  int32_t delay, refresh;
  bool launch_at;
  int32_t hour, minute;
};

const std::string reset = "\376 Error: In /TIME parameter - reset to 1 second\n";
const std::string too_long = "Error: Command too long (at most 243 characters).\n";
const std::string except_long = "Error: /EXCEPT list too long (at most 256 characters).\n";
const std::string minutes_past = "Error: invalid time given (12:2147483647)\n";
const std::string minutes_under = "Error: invalid time given (12:-2147483648)\n";

std::string big(size_t n, char c = 'a') {
  return std::string(n, c);
}

} // namespace

// The lengths and numbers just past what a buffer or an int holds; the bounds themselves are
// run_settings_test's.
TEST(HostileInput, EveryRowHasItsOutcome) {
  const Row rows[] = {
      {{big(255), "/Q"}, 1, too_long, 1, 5, false, 0, 0},
      {{big(256), "/Q"}, 1, too_long, 1, 5, false, 0, 0},
      {{big(257), "/Q"}, 1, too_long, 1, 5, false, 0, 0},
      {{big(10000), "/Q"}, 1, too_long, 1, 5, false, 0, 0},
      {{"x", "/EXCEPT=" + big(255)}, 0, "", 1, 5, false, 0, 0},
      {{"x", "/EXCEPT=" + big(10000)}, 1, except_long, 1, 5, false, 0, 0},
      {{"", ""}, 0, "", 1, 5, false, 0, 0},
      {{"x", "", "", "/Q"}, 0, "", 1, 5, false, 0, 0},
      {{"\x80\xff\xfe", "\xb3\xb3"}, 0, "", 1, 5, false, 0, 0},
      {{"x", "/TIME=\xff\xfe"}, 0, reset, 1, 1, false, 0, 0},
      {{"x", "/TICK=2147483647"}, 0, "", 1, 2147483, false, 0, 0},
      {{"x", "/TICK=2147483648"}, 0, "", 1, 2147483, false, 0, 0},
      {{"x", "/TICK=9223372036854775808"}, 0, "", 1, 2147483, false, 0, 0},
      {{"x", "/TICK=-2147483648"}, 0, "", 1, 1, false, 0, 0},
      {{"x", "/TIME=2147483647"}, 0, "", 86399, 5, false, 0, 0},
      {{"x", "/TIME=2147483648"}, 0, "", 86399, 5, false, 0, 0},
      {{"x", "/TIME=9223372036854775808"}, 0, "", 86399, 5, false, 0, 0},
      {{"x", "/TIME=-2147483648"}, 0, "", 86399, 5, false, 0, 0},
      {{"x", "/TIME=2147483647s"}, 0, "", INT32_MAX, 5, false, 0, 0},
      {{"x", "/TIME=9223372036854775808h"}, 0, "", INT32_MAX, 5, false, 0, 0},
      {{"x", "/TIME=999999999h"}, 0, "", INT32_MAX, 5, false, 0, 0},
      {{"x", "/TIME=596523h"}, 0, "", 2147482800, 5, false, 0, 0},
      {{"x", "/TIME=596524h"}, 0, "", INT32_MAX, 5, false, 0, 0},
      {{"x", "/TIME=h"}, 0, reset, 1, 1, false, 0, 0},
      {{"x", "/TIME=:30"}, 0, "", 1, 5, true, 0, 0},
      {{"x", "/TIME=12:2147483648"}, 1, minutes_past, 1, 5, false, 0, 0},
      {{"x", "/TIME=12:-2147483648"}, 1, minutes_under, 1, 5, false, 0, 0},
      {{"x", "/TIME=12:" + big(10000, '9')}, 1, minutes_past, 1, 5, false, 0, 0},
  };
  for (const Row& row : rows) {
    const Parsed p = parse_words(row.words);
    const std::string name =
        row.words.back().substr(0, 40) + " (" + std::to_string(row.words.back().size()) + ")";
    EXPECT_EQ(p.run.status, row.status) << name;
    EXPECT_EQ(p.run.console, row.console) << name;
    if (row.status != 0) continue;
    EXPECT_EQ(p.settings.delay_seconds, row.delay) << name;
    EXPECT_EQ(p.settings.refresh_seconds, row.refresh) << name;
    EXPECT_EQ(p.settings.launch_at, row.launch_at) << name;
    if (row.launch_at) {
      EXPECT_EQ(p.settings.launch_hour, row.hour) << name;
      EXPECT_EQ(p.settings.launch_minute, row.minute) << name;
    }
  }
}

TEST(HostileInput, TenThousandWords) {
  std::vector<std::string> words(1, "x");
  for (int i = 0; i < 10000; ++i) words.push_back(i % 2 ? "/TICK=3" : "/EXCEPT=Sun");
  const Parsed p = parse_words(words);
  EXPECT_EQ(p.run.status, 0);
  EXPECT_EQ(p.settings.refresh_seconds, 3);
  EXPECT_STREQ(p.settings.excepted_days, "Sun");
}

TEST(HostileInput, HugeDelaysCountDownWithoutWrapping) {
  // Near the 32-bit limit the counted seconds must not wrap: the count ends, the launch comes.
  SimConfig config = config_at(tuesday_morning());
  config.run_limit_ms = INT64_MAX / 4;
  sim_reset(config);
  sim_on_sleep([](uint32_t) {});
  const SimRun run = sim_run({"x", "/TIME=2147483647s", "/TICK=2147483", "/q"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.launches.size(), 1u);
}

// A command of wide, combining and emoji characters: each takes the columns a terminal gives it,
// a wide one that would straddle the last column starts the next row, and every line after the
// command stands where it belongs, at 80 columns and at 30.
TEST(HostileInput, CommandInEveryScriptTakesItsColumns) {
  const std::string zhong = "\xe4\xb8\xad", smile = "\xf0\x9f\x98\x80", accented = "e\xcc\x81";
  const std::string command = "run #" + zhong + zhong + smile + accented + accented + "A" + zhong;
  for (int columns : {80, 30}) {
    SimConfig config = config_at(tuesday_morning());
    config.columns = columns;
    config.buffer_rows = config.window_rows = 60;
    config.utf8_text = true;
    sim_reset(config);
    sim_run({command, "/TIME=1"});
    std::string screen = sim_screen_text();
    ASSERT_NE(screen.find("\376 Waiting"), std::string::npos) << screen;
    screen = screen.substr(screen.find("\376 Waiting"));
    if (columns == 80) {
      EXPECT_EQ(screen.substr(0, screen.find("\n\n")),
                "\376 Waiting to launch: \"" + command + "\"");
      EXPECT_NE(screen.find("\n\376 Launching \"" + command + "\" ...\n\376 Launch of \"" +
                            command + "\" completed"),
                std::string::npos)
          << screen;
    } else {
      // 27 columns and a wide character; the next would straddle the last column: 29 | 2 + 2 + 1
      // + 1 + 1 + 2 + 1.
      EXPECT_EQ(screen.substr(0, screen.find("\n\n")), "\376 Waiting to launch: \"run #" + zhong +
                                                           "\n" + zhong + smile + accented +
                                                           accented + "A" + zhong + "\"")
          << screen;
    }
  }
}
