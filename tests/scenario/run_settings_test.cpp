// The command line: every option, both /TIME forms, errors, help words and later-wins.
#include <gtest/gtest.h>

#include "scenario/sim_helpers.h"

TEST(Settings, DefaultsWithAnyUnknownSecondWord) {
  const Parsed p = parse_words({"backup.exe", "/whatever"});
  EXPECT_EQ(p.run.status, 0);
  EXPECT_STREQ(p.settings.command, "backup.exe");
  EXPECT_STREQ(p.settings.interpreter, "CMD");
  EXPECT_STREQ(p.settings.excepted_days, "");
  EXPECT_EQ(p.settings.delay_seconds, 1);
  EXPECT_EQ(p.settings.refresh_seconds, 5);
  EXPECT_EQ(p.settings.sleep_ms, 5000);
  EXPECT_FALSE(p.settings.launch_at);
  EXPECT_TRUE(p.settings.announce);
  EXPECT_FALSE(p.settings.repeat);
  EXPECT_FALSE(p.settings.debug);
}

TEST(Settings, FlagOptionsAndTheirNearMisses) {
  const struct {
    const char* word;
    bool quiet, repeat, debug, dos;
  } cases[] = {
      {"/Q", true, false, false, false},       {"/q", true, false, false, false},
      {"/QUIET", true, false, false, false},   {"-q", true, false, false, false},
      {"/REPEAT", false, true, false, false},  {"/repeat", false, true, false, false},
      {"/R", false, true, false, false},       {"-r", false, true, false, false},
      {"/REP", false, false, false, false},    {"/DEBUG", false, false, true, false},
      {"/DEBUGX", false, false, false, false}, {"/DOS", false, false, false, true},
      {"/dos", false, false, false, true},     {"/DOSX", false, false, false, false},
      {"/HELP", false, false, false, false},
  };
  for (const auto& c : cases) {
    const Parsed p = parse_words({"x", c.word});
    EXPECT_EQ(p.run.status, 0) << c.word;
    EXPECT_EQ(p.settings.announce, !c.quiet) << c.word;
    EXPECT_EQ(p.settings.repeat, c.repeat) << c.word;
    EXPECT_EQ(p.settings.debug, c.debug) << c.word;
    EXPECT_STREQ(p.settings.interpreter, c.dos ? "COMMAND" : "CMD") << c.word;
  }
}

TEST(Settings, Tick) {
  const struct {
    const char* word;
    int refresh;
  } cases[] = {{"/TICK=9", 9},
               {"/tick:2", 2},
               {"-TICK=3", 3},
               {"/TICK=", 5},
               {"/TICKS", 5},
               {"/TICK", 5},
               {"/TICKET", 1},
               {"/TICK=0", 1},
               {"/TICK=-4", 1},
               {"/TICK=2147483", 2147483},
               {"/TICK=2147484", 2147483}};
  for (const auto& c : cases) {
    const Parsed p = parse_words({"x", c.word});
    EXPECT_EQ(p.settings.refresh_seconds, c.refresh) << c.word;
    EXPECT_EQ(p.settings.sleep_ms, c.refresh * 1000) << c.word;
  }
}

TEST(Settings, Except) {
  EXPECT_STREQ(parse_words({"x", "/EXCEPT=SATSUN"}).settings.excepted_days, "SATSUN");
  EXPECT_STREQ(parse_words({"x", "/EXCEPT:SatSun"}).settings.excepted_days, "SatSun");
  EXPECT_STREQ(parse_words({"x", "/EXCEPT=sun", "/EXCEPT="}).settings.excepted_days, "sun");
  EXPECT_STREQ(parse_words({"x", "/EXCEPT=sun", "/EXCEPT=MON"}).settings.excepted_days, "MON");
  EXPECT_STREQ(parse_words({"x", "/EXCEPTxFri Sat"}).settings.excepted_days, "Fri Sat");
}

TEST(Settings, AbsoluteTimeReadsFixedPositions) {
  const struct {
    const char* word;
    int hour, minute;
  } cases[] = {{"/TIME=09:30", 9, 30},    {"/TIME:09:30", 9, 30},     {"/TIME=9:30", 9, 0},
               {"/TIME=9:5", 9, 0},       {"/TIME=12:5", 12, 5},      {"/TIME=123:45", 12, 0},
               {"/TIME=12:30pm", 12, 30}, {"/TIME=12:30:45", 12, 30}, {"/time=00:00", 0, 0},
               {"/TIME=23:59", 23, 59},   {"/TIME=1:", 1, 0},         {"/TIME=:", 0, 0}};
  for (const auto& c : cases) {
    const Parsed p = parse_words({"x", c.word});
    EXPECT_EQ(p.run.status, 0) << c.word;
    EXPECT_TRUE(p.settings.launch_at) << c.word;
    EXPECT_EQ(p.settings.launch_hour, c.hour) << c.word;
    EXPECT_EQ(p.settings.launch_minute, c.minute) << c.word;
    EXPECT_EQ(p.settings.delay_seconds, 1) << c.word;
    EXPECT_EQ(p.settings.refresh_seconds, 5) << c.word;
  }
  // The cut after position 8 is made in the word itself.
  EXPECT_EQ(parse_words({"x", "/TIME=12:30"}).words[2], "/TIME=12");
}

TEST(Settings, InvalidAbsoluteTimeEndsTheRunAtOnce) {
  const struct {
    const char* word;
    const char* message;
  } cases[] = {{"/TIME=24:00", "Error: invalid time given (24:00)\n"},
               {"/TIME=23:60", "Error: invalid time given (23:60)\n"},
               {"/TIME=99:99", "Error: invalid time given (99:99)\n"},
               {"/TIME=-1:00", "Error: invalid time given (-01:00)\n"},
               {"/TIME=12:-5", "Error: invalid time given (12:-05)\n"}};
  for (const auto& c : cases) {
    const Parsed p = parse_words({"x", c.word, "/Q"});
    EXPECT_EQ(p.run.status, 1) << c.word;
    EXPECT_EQ(p.run.console, c.message) << c.word;
    EXPECT_TRUE(p.settings.announce) << "later words are not read";
  }
}

TEST(Settings, RelativeTime) {
  const struct {
    const char* value;
    int delay, refresh;
  } cases[] = {{"90", 90, 5},       {"10", 10, 1},       {"11", 11, 2},     {"60", 60, 2},
               {"61", 61, 5},       {"20", 20, 2},       {"5", 5, 1},       {"1h30m", 5400, 5},
               {"30M1H", 5400, 5},  {"8h", 28800, 5},    {"2m30s", 150, 5}, {"5mins", 300, 5},
               {"86399", 86399, 5}, {"86400", 86399, 5}, {"-5", 86399, 5},  {"48H", 172800, 5},
               {"1h1m1s", 3661, 5}, {"h5", 1, 1},        {"0h10s", 10, 1}};
  for (const auto& c : cases) {
    const Parsed p = parse_words({"x", std::string("/TIME=") + c.value});
    EXPECT_EQ(p.settings.delay_seconds, c.delay) << c.value;
    EXPECT_EQ(p.settings.refresh_seconds, c.refresh) << c.value;
    EXPECT_FALSE(p.settings.launch_at) << c.value;
  }
}

TEST(Settings, RelativeTimeOfZeroIsResetToOneSecond) {
  for (const char* word : {"/TIME=0", "/TIME=", "/TIME=abc", "/TIMEOUT=5", "/TIME=0h0m0s"}) {
    const Parsed p = parse_words({"x", word});
    EXPECT_EQ(p.run.status, 0) << word;
    EXPECT_EQ(p.run.console, "\376 Error: In /TIME parameter - reset to 1 second\n") << word;
    EXPECT_EQ(p.settings.delay_seconds, 1) << word;
    EXPECT_EQ(p.settings.refresh_seconds, 1) << word;
  }
  const Parsed alone = parse_words({"x", "/TIME"});
  EXPECT_EQ(alone.run.console, "");
  EXPECT_EQ(alone.settings.delay_seconds, 1);
  EXPECT_EQ(alone.settings.refresh_seconds, 5);
}

TEST(Settings, LaterWordsWin) {
  EXPECT_EQ(parse_words({"x", "/TICK=9", "/TIME=30"}).settings.refresh_seconds, 2);
  EXPECT_EQ(parse_words({"x", "/TIME=30", "/TICK=9"}).settings.refresh_seconds, 9);
  EXPECT_EQ(parse_words({"x", "/TIME=1h", "/TIME=30"}).settings.delay_seconds, 30);
  const Parsed both = parse_words({"x", "/TIME=08:00", "/TIME=45"});
  EXPECT_TRUE(both.settings.launch_at);
  EXPECT_EQ(both.settings.launch_hour, 8);
  EXPECT_EQ(both.settings.refresh_seconds, 2);
  const Parsed two = parse_words({"x", "/TIME=08:00", "/TIME=09:15"});
  EXPECT_EQ(two.settings.launch_hour, 9);
  EXPECT_EQ(two.settings.launch_minute, 15);
  EXPECT_STREQ(parse_words({"x", "/DOS", "/R"}).settings.interpreter, "COMMAND");
}

TEST(Settings, CommandCheck) {
  for (const char* word : {"-x", "/x", "/Q", "-TIME=5"}) {
    const Parsed p = parse_words({word, "/R"});
    EXPECT_EQ(p.run.status, 1) << word;
    EXPECT_EQ(p.run.console.substr(p.run.console.size() - 44),
              "Error: No executable found on command line.\n")
        << word;
  }
  // A whole run: the icon comes off before the message, and again in the exit hook.
  sim_reset(SimConfig());
  const SimRun run = sim_run({"-x", "/R"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.window_calls,
            (std::vector<std::string>{"title Vorbelin", "large icon on", "small icon on",
                                      "small icon off", "large icon off", "small icon off",
                                      "large icon off"}));
  // A /TIME error in first place comes before the check's own.
  const Parsed bad_time = parse_words({"/TIME=24:00", "x"});
  EXPECT_EQ(bad_time.run.console, "Error: invalid time given (24:00)\n");
  const Parsed reset = parse_words({"/TIME=0", "x"});
  EXPECT_EQ(reset.run.console, "\376 Error: In /TIME parameter - reset to 1 second\n"
                               "Error: No executable found on command line.\n");
  const Parsed empty = parse_words({"", "/Q"});
  EXPECT_EQ(empty.run.status, 0);
  EXPECT_STREQ(empty.settings.command, "");
  EXPECT_STREQ(parse_words({"ping -n 1 myserver", "/Q"}).settings.command, "ping -n 1 myserver");
}

TEST(Settings, CommandsThatDoNotFitTheLaunchLineAreRefused) {
  EXPECT_EQ(parse_words({std::string(243, 'a'), "/Q"}).run.status, 0);
  const Parsed cmd = parse_words({std::string(244, 'a'), "/Q"});
  EXPECT_EQ(cmd.run.status, 1);
  EXPECT_EQ(cmd.run.console, "Error: Command too long (at most 243 characters).\n");
  EXPECT_EQ(parse_words({std::string(239, 'a'), "/DOS"}).run.status, 0);
  const Parsed dos = parse_words({std::string(240, 'a'), "/DOS"});
  EXPECT_EQ(dos.run.status, 1);
  EXPECT_EQ(dos.run.console, "Error: Command too long (at most 239 characters).\n");
  // /DOS counts wherever it stands: the check comes after the walk.
  EXPECT_EQ(parse_words({std::string(240, 'a'), "/Q", "/DOS"}).run.status, 1);
}

TEST(Settings, ExceptListsThatDoNotFitAreRefused) {
  EXPECT_EQ(parse_words({"x", "/EXCEPT=" + std::string(256, 's')}).run.status, 0);
  const Parsed p = parse_words({"x", "/EXCEPT=" + std::string(257, 's')});
  EXPECT_EQ(p.run.status, 1);
  EXPECT_EQ(p.run.console, "Error: /EXCEPT list too long (at most 256 characters).\n");
}

TEST(Settings, HelpWordsShowTheHelpScreen) {
  const std::vector<std::vector<std::string>> lines = {
      {}, {"backup.exe"}, {"x", "/?"}, {"x", "/h"}, {"x", "-H"}, {"x", "-?"}, {"/?", "x"}};
  for (const auto& words : lines) {
    SimConfig config;
    sim_reset(config);
    sim_key_char(1000, 27, 1);
    std::vector<std::string> full = words;
    const SimRun run = sim_run(full);
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.key_screens.size(), 1u);
    EXPECT_NE(run.key_screens[0].find("-- More (ESC quits) --"), std::string::npos);
    EXPECT_TRUE(run.launches.empty());
  }
  // The words ahead of the help word have already taken effect: an invalid time ends first.
  sim_reset(SimConfig());
  const SimRun bad = sim_run({"x", "/TIME=25:00", "/?"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(bad.key_screens.empty());
}

TEST(Settings, DebugLineAndPauseBeforeTheFirstScreen) {
  for (const bool at : {false, true}) {
    SimConfig config = config_at(tuesday_morning());
    config.stdout_redirected = true;
    sim_reset(config);
    sim_key_char(500, 'k');
    const SimRun run = sim_run({"x", "/DEBUG", "/Q", at ? "/TIME=08:00" : "/TIME=1"});
    EXPECT_EQ(run.out.rfind(at ? "LAUNCH-AT is True\r\n" : "LAUNCH-AT is False\r\n", 0), 0u)
        << run.out;
    EXPECT_EQ(run.console.rfind("Press a key...\n", 0), 0u) << run.console;
    EXPECT_EQ(run.launches.size(), 1u);
  }
}
