// The paged help text and the coloured title bar that heads every status screen.
#pragma once

enum : int { HELP_LINE_COUNT = 25 };

extern const char* const help_lines[HELP_LINE_COUNT];

[[noreturn]] void show_help(int banner_attr, int text_attr);
void draw_title_bar(int colour);
