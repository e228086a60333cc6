// Signals: the control events (Ctrl-C, Ctrl-\, hang-up, termination), crashes, stop and
// continue, and the terminal's resize. A signal that was ignored when the program started stays
// ignored, and a launched command starts with every disposition as the program found it, save
// those it must not inherit as ignored (SIGCHLD, SIGPIPE, SIGXFSZ).
#pragma once

// SIGPIPE, SIGTTIN and SIGTTOU: a closed pipe must not end a scheduler, nor terminal access from
// the background stop it (the program checks the foreground instead). SIGCHLD: the default,
// whatever the parent left, so that a launch can wait for its child.
void signals_install_process_wide();
// The control events, crashes, stop, continue and resize, once there is a terminal to restore.
// restore gives the terminal back before the program ends or stops; it runs in the handlers, so
// it must be async-signal-safe.
void signals_install_terminal(void (*restore)());
// True when the program started with SIGINT ignored, as a shell without job control starts the
// jobs of a script that it runs with &.
bool signals_interrupt_ignored();
// In a forked child before exec: the dispositions the program started with, save SIGPIPE and
// SIGXFSZ at their default; nothing blocked.
void signals_reset_for_child();
// Around an update of what the handlers read: a signal that would give the terminal back waits
// until the release, which raises it again. signals_held: a handler came in the middle of one.
void signals_hold();
void signals_release();
bool signals_held();
// True once for each time the program was continued (SIGCONT) or the terminal resized
// (SIGWINCH) since the last ask.
bool signals_take_continue();
bool signals_take_resize();
