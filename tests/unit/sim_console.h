// A fresh simulated console for the tests of what draws on it.
#pragma once

#include <gtest/gtest.h>

#include "console/console.h"
#include "platform/sim/sim.h"

inline void fresh_console(bool redirected = false) {
  SimConfig config;
  config.stdout_redirected = redirected;
  sim_reset(config);
  sim_call([] {}); // a new process's state
}

inline void expect_cursor(int column, int row) {
  EXPECT_EQ(cursor_column(), column);
  EXPECT_EQ(cursor_row(), row);
}
