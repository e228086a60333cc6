// The spinner: its glyphs in order, each drawn in place.
#include <gtest/gtest.h>

#include "console/console.h"
#include "console/spinner.h"
#include "platform/sim/sim.h"
#include "unit/sim_console.h"

TEST(Spinner, GlyphOrderAndCursor) {
  fresh_console();
  cursor_goto(10, 3);
  std::string glyphs;
  for (int i = 0; i < 5; ++i) {
    spinner_step(1);
    glyphs += static_cast<char>(screen_row(&sim_screen(), 2)[9].ch);
    expect_cursor(10, 3);
  }
  EXPECT_EQ(glyphs, "\263/-\\\263");
  // With every 3, the drawn glyphs continue from the count of glyphs, not of calls.
  fresh_console();
  std::string drawn;
  for (int call = 1; call <= 7; ++call) {
    const size_t size = sim_result().console.size();
    spinner_step(3);
    const std::string& console = sim_result().console;
    drawn += console.size() > size ? console.back() : '.';
  }
  EXPECT_EQ(drawn, "\263../..-");
}
