// Signals: the control events (Ctrl-C, Ctrl-\, hang-up, termination), crashes, stop and
// continue, and the terminal's resize. A signal that was ignored when the program started stays
// ignored, and a launched command starts with every disposition as the program found it.
#pragma once

#include <csignal>

extern volatile sig_atomic_t resize_pending;

// SIGPIPE, SIGTTIN and SIGTTOU: a closed pipe must not end a scheduler, nor terminal access from
// the background stop it (the program checks the foreground instead).
void signals_install_process_wide();
// The control events, crashes, stop, continue and resize, once there is a terminal to restore.
void signals_install_terminal();
// In a forked child before exec: the dispositions the program started with, nothing blocked.
void signals_reset_for_child();
