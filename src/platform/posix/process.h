// Commands launched with START run on their own and may write to the terminal at any time.
#pragma once

// True while a command launched with START, or anything it started, may have written to the
// terminal since the last look: until then every flush repaints the screen whole.
bool launched_output_possible();
