#!/usr/bin/env bash
# End-to-end tests of the POSIX build in a real terminal (tmux): launches, keys, redirection,
# signals, and the terminal given back as it was.
#
#   bash tests/e2e/posix_e2e.sh [path/to/vorbelin] [CASE...]    (--list names the cases)
#
# Every case by default, with build/vorbelin when no program is named.
set -u
. "$(dirname "$0")/lib.sh"
command -v tmux >/dev/null || skip_or_fail "tmux is not installed"
W=$E2E_DIR

# --- Shared set-up.

# A fresh pane (with environment assignments for its shell, if given) and no files of the last
# case.
fresh_pane() {
  new_pane "$@"
  rm -f "$W"/before "$W"/after "$W"/stopped "$W"/status "$W"/pid "$W"/out.txt "$W"/launched*
}

# The program's command line in a script that writes its own process id (the program's, since
# it then becomes the program, after $LAUNCHER if set) to the file pid and to the ids to end.
program_script() {
  printf '%s\n' "echo \$\$ > $W/pid; echo \$\$ >> $W/pids" "exec ${LAUNCHER:-} $BIN $*" > "$W/program.sh"
}

# Runs it in the pane through a script that records the terminal mode before and after and the
# exit status. The script's own shell lets Ctrl-C pass (an interactive bash would drop the rest
# of a command list whose command died of SIGINT).
run_in_pane() {
  program_script "$@"
  printf '%s\n' "trap : INT" "stty -g > $W/before" "sh $W/program.sh" "echo \$? > $W/status" \
    "stty -g > $W/after" > "$W/run.sh"
  type_line "sh $W/run.sh"
}

# The same, typed straight into the interactive shell, for job control.
run_direct() {
  program_script "$@"
  type_line "stty -g > $W/before; sh $W/program.sh; echo \$? > $W/status; stty -g > $W/after"
}

program_pid() { cat "$W/pid"; }
program_running() { [ -f "$W/pid" ] && [ "$(readlink "/proc/$(program_pid)/exe")" = "$BIN" ]; }
signal_program() { kill -"$1" "$(program_pid)"; }
status_is() {
  wait_for_file "$W/status" 20 || return 1
  [ "$(cat "$W/status")" = "$1" ] || { echo "status was $(cat "$W/status")"; return 1; }
}
mode_restored() { wait_for_file "$W/after" 10 && cmp -s "$W/before" "$W/after"; }
cursor_shown() { [ "$(tmux display -p -t "$SESSION" '#{cursor_flag}')" = 1 ]; }
# The program has drawn another pass: the clock line has changed.
next_pass() {
  local line
  line=$(screen | grep 'Current time is now')
  wait_until 10 bash -c "tmux capture-pane -t $SESSION -p | grep 'Current time is now' | grep -vqF '$line'"
}
file_has() { [ -f "$1" ] && grep -Eq -- "$2" "$1"; }

# --- The cases.

# Every waiting run carries what the program links: the C library and the terminfo library, no
# C++ runtime.
case_links_c_library_alone() {
  check "linked against the C and terminfo libraries alone" bash -c \
    "! readelf -d '$BIN' | grep NEEDED | grep -v -q -e 'libc\.so' -e 'libtinfo\.so'"
}

# A countdown that really launches a command and ends with status 0.
case_countdown_launch() {
  fresh_pane
  run_in_pane "'touch $W/launched' /time=3"
  check "countdown screen" wait_for_screen 'Time left: +00:00:0[123] \([123] seconds remaing\)\.\.\. [│/\\-]' 10
  check "launch creates the file" wait_for_exists "$W/launched" 10
  check "launch announced" wait_for_screen "Launch of \"touch $W/launched\" completed" 10
  check "status 0 after a single launch" status_is 0
  check "terminal mode restored" mode_restored
  check "title bar in colour" bash -c "tmux capture-pane -t $SESSION -p -e | head -1 | grep -q $'\e\[97m\e\[4[1-7]m'"
}

# A command that cannot start is said to have failed and ends the run with status 2.
case_failed_launch() {
  fresh_pane
  run_in_pane "'no_such_program_vorbelin' /time=1"
  check "a missing program's launch fails" wait_for_screen 'Launch of "no_such_program_vorbelin" failed: command not found' 10
  check "status 2 after a failed launch" status_is 2
}

# A command that runs on does not hold the run up.
case_command_runs_on() {
  fresh_pane
  # The command outlasts the wait for the status three times over.
  run_in_pane "'echo \$\$ > $W/launched.pid; sleep 60; touch $W/launched' /time=1 /q"
  check "a command that runs on does not hold up the end" status_is 0
  wait_for_file "$W/launched.pid" 10 && record_pid "-$(ps -o pgid= -p "$(cat "$W/launched.pid")" | tr -d ' ')"
  check "... and is still running after it" kill -0 "$(cat "$W/launched.pid")"
}

# The command's own UTF-8 is drawn as it was typed, each character in one column.
case_command_in_utf8() {
  fresh_pane
  run_in_pane "'echo café € ü' /time=3"
  check "the command's characters as typed" wait_for_screen 'Waiting to launch: "echo café € ü"' 10
  check "... and the columns after them in place" wait_for_screen '^■ Time left: +00:00:0[123] \([123] seconds remaing\)\.\.\. [│/\\-]$' 10
  check "its launch succeeds: status 0" status_is 0
}

# In a locale whose character set is not UTF-8 every glyph is one byte: all of it ASCII here, on
# the terminal and in redirected output.
case_c_locale() {
  fresh_pane LC_ALL=C
  tmux pipe-pane -t "$SESSION" -o "cat > $W/terminal.bytes"
  run_in_pane "true /time=2 /R > $W/out.txt"
  wait_for_screen 'Launched 1 times so far' 10
  press Escape
  check "status 0 after the C-locale run" status_is 0
  tmux pipe-pane -t "$SESSION"
  only_ascii() { [ -s "$1" ] && ! LC_ALL=C grep -q '[^ -~[:cntrl:]]' "$1"; }
  check "C locale: the terminal got ASCII alone" only_ascii "$W/terminal.bytes"
  check "C locale: the redirected output is ASCII alone" only_ascii "$W/out.txt"
  check "C locale: the square as #" grep -q '^# Waiting to launch: "true"' "$W/out.txt"
}

# /REPEAT launches again and counts; ESC stops with its message and status 0.
case_repeat_and_esc() {
  fresh_pane
  run_in_pane "'echo x >> $W/launched' /time=2 /REPEAT"
  wait_for_screen 'Time left' 10
  local history_before
  history_before=$(tmux display -p -t "$SESSION" '#{history_size}')
  check "repeat counts two launches" wait_for_screen 'Launched 2 times so far' 15
  check "repaints leave the scrollback alone" bash -c "[ \$(tmux display -p -t $SESSION '#{history_size}') = $history_before ]"
  press Escape
  check "ESC stops the run" wait_for_screen 'Vorbelin Was Terminated|Vorbelin Terminated\.' 10
  check "status 0 after ESC" status_is 0
  check "terminal mode restored after ESC" mode_restored
  check "two or more launches happened" bash -c "[ \$(wc -l < $W/launched) -ge 2 ]"
}

# A repeat whose launches fail counts none of them, and ESC still ends it with status 0.
case_repeat_of_failures() {
  fresh_pane
  run_in_pane "'no_such_program_vorbelin' /time=1 /R"
  # The refresh becomes 5 seconds after a launch attempt.
  wait_for_screen 'Updating every 5 second' 10
  check "failed launches are not counted" screen_has 'Launched 0 times so far'
  press Escape
  check "ESC after failed launches: status 0, not 2" status_is 0
}

# Keys reach the program with their codes: /DEBUG echoes each key read as its number, at the
# start of a line of standard output.
case_debug_keys() {
  fresh_pane
  run_in_pane "x /TIME=60 /DEBUG > $W/out.txt"
  check "debug pause" wait_for_screen 'Press a key\.\.\.' 10
  press a
  check "first status screen" wait_for_screen 'Time left' 10
  press a
  check "a letter reads as 97" wait_until 10 file_has "$W/out.txt" '97 '
  press Up
  check "grey Up reads as 224 then 72" wait_until 10 bash -c "tr -d '\n' < $W/out.txt | grep -Eq '224 .*72 '"
  press M-x
  check "Alt+X reads as 0 then 45, not as ESC" wait_until 10 bash -c "grep -q '^0 ' $W/out.txt && grep -q '^45 ' $W/out.txt"
  press Escape
  check "ESC ends the debug run" status_is 0
  check "ESC reads as 27" grep -q '27 ' "$W/out.txt"
  check "status lines of standard output went to the file" grep -q 'LAUNCH-AT is False' "$W/out.txt"
  check "terminal mode restored after the debug run" mode_restored
}

# The console channel still reaches the terminal while standard output goes to a file.
case_error_on_console() {
  fresh_pane
  run_in_pane "x /TIME=24:00 > $W/out.txt"
  check "error on the console with status 1" status_is 1
  check "error message shown" wait_for_screen 'Error: invalid time given \(24:00\)' 10
  check "nothing in the redirected file" bash -c "[ ! -s $W/out.txt ]"
}

# The time-of-day mode: its status lines go to the file, the console keeps the rest.
case_time_of_day_redirected() {
  fresh_pane
  local target
  target=$(date -d '+2 hours' +%H:%M)
  run_in_pane "'touch $W/launched' /TIME=$target /EXCEPT=xyz > $W/out.txt"
  check "title bar and excepted block on the console" wait_for_screen 'Not running on \.\.\.' 10
  check "status lines in the file" wait_for_file "$W/out.txt" 10
  press Escape
  check "ESC stops the time-of-day mode" wait_for_screen 'Vorbelin (Was )?Terminated\.' 10
  check "file has the waiting line" grep -q "Waiting to launch command \"touch $W/launched\"" "$W/out.txt"
  check "file has UTF-8 squares" grep -q $'\xe2\x96\xa0 Starting command at: '"$target"':00 hrs' "$W/out.txt"
  check "no status line on the console" bash -c "! tmux capture-pane -t $SESSION -p | grep -q 'Starting command at'"
}

# The help screen: a page with the More prompt, a key pages on, ESC ends with status 0.
case_help_pager() {
  fresh_pane
  run_in_pane "x"
  check "help first page" wait_for_screen '^-- More \(ESC quits\) --' 10
  press Down
  check "grey Down pages on" wait_for_screen '^-- End - ESC to Close --' 10
  press Escape
  check "ESC closes the help with status 0" status_is 0
  check "terminal mode restored after help" mode_restored
}

# Signals while waiting end the run with the signal's status and the terminal restored.
case_ending_signals() {
  local signal code
  for signal in TERM HUP INT QUIT USR1 USR2 ALRM VTALRM XCPU; do
    fresh_pane
    run_in_pane "sigtest-$signal /TIME=60"
    wait_for_screen 'Time left' 10
    signal_program "$signal"
    code=$((128 + $(kill -l "$signal")))
    check "SIG$signal ends with status $code" status_is $code
    check "terminal mode restored after SIG$signal" mode_restored
    check "cursor shown after SIG$signal" cursor_shown
  done
}

# Signals in the help pager (waiting in a key read, signals off) and at the /DEBUG key prompt.
case_signals_in_key_reads() {
  fresh_pane
  run_in_pane "sigtest-help-pager"
  wait_for_screen '^-- More' 10
  signal_program TERM
  check "SIGTERM in the help pager ends with status 143" status_is 143
  check "terminal mode restored after SIGTERM in the help pager" mode_restored
  fresh_pane
  run_in_pane "sigtest-debug-prompt /DEBUG"
  wait_for_screen 'Press a key' 10
  signal_program TERM
  check "SIGTERM at the debug prompt ends with status 143" status_is 143
  check "terminal mode restored after SIGTERM at the debug prompt" mode_restored
}

# Ctrl-C typed while the program sleeps is a control event.
case_ctrl_c() {
  fresh_pane
  run_in_pane "x /TIME=60"
  wait_for_screen 'Time left' 10
  press C-c
  check "Ctrl-C while waiting ends with status 130" status_is 130
  check "terminal mode restored after Ctrl-C" mode_restored
}

# Ctrl-Z gives the terminal back; fg takes it again and the count goes on.
case_ctrl_z_and_fg() {
  fresh_pane
  run_direct "'touch $W/launched' /TIME=6"
  wait_for_screen 'Time left' 10
  press C-z
  check "stopped job gives the shell back" wait_for_screen 'Stopped' 10
  type_line "stty -g > $W/stopped; fg"
  mode_given_back() { wait_for_file "$W/stopped" 5 && cmp -s "$W/before" "$W/stopped"; }
  check "terminal mode given back while stopped" mode_given_back
  check "launch after fg" wait_for_exists "$W/launched" 20
  # The shell ran the rest of the typed list when the job stopped, and does not run it again
  # after fg: what it wrote then goes, and the shell is asked for fg's status.
  wait_for_screen 'completed' 10
  rm -f "$W/status" "$W/after"
  type_line "echo \$? > $W/status; stty -g > $W/after"
  check "status 0 after fg" status_is 0
  check "terminal mode restored after fg" mode_restored
}

# As a scheduler is really run: in the background, under nohup, beside Ctrl-S and beside
# commands that write to the terminal; none of it stops a launch or spoils the terminal.
case_background_job() {
  fresh_pane
  program_script "'touch $W/launched' /time=2"
  # wait ends when the job ends or stops.
  type_line "stty -g > $W/before; sh $W/program.sh & wait \$!; stty -g > $W/after; jobs > $W/out.txt"
  check "a background job launches without stopping" wait_for_exists "$W/launched" 10
  check "a background job leaves the terminal's mode alone" mode_restored
  no_job_stopped() { wait_for_exists "$W/out.txt" 5 && ! grep -q Stopped "$W/out.txt"; }
  check "no job stopped for terminal access" no_job_stopped
}

# Started with & by a script that then ends: the shell takes the terminal back without a signal
# to the program, which stops drawing and still launches.
case_left_by_its_script() {
  fresh_pane
  program_script "'touch $W/launched' /time=4"
  type_line "sh -c 'sh $W/program.sh & sleep 1'; clear"
  wait_for_file "$W/pid" 10
  check "it launches after its script ended" wait_for_exists "$W/launched" 10
  check "it drew nothing over the shell" bash -c "! tmux capture-pane -t $SESSION -p | grep -q 'Time left'"
}

case_nohup() {
  fresh_pane
  LAUNCHER='nohup' run_in_pane "'touch $W/launched' /time=3 /Q > $W/out.txt"
  wait_until 10 program_running
  signal_program HUP
  check "nohup keeps SIGHUP ignored: the launch comes" wait_for_exists "$W/launched" 10
  check "status 0 under nohup" status_is 0
}

case_ctrl_s() {
  fresh_pane
  run_in_pane "'echo x >> $W/launched' /time=2 /REPEAT"
  wait_for_screen 'Time left' 10
  press C-s
  two_launches() { [ -f "$W/launched" ] && [ "$(wc -l < "$W/launched")" -ge 2 ]; }
  check "Ctrl-S holds up no launch" wait_until 15 two_launches
  signal_program TERM
  check "SIGTERM ends the run after Ctrl-S" status_is 143
  check "terminal mode restored after Ctrl-S" mode_restored
}

case_foreign_output() {
  fresh_pane
  # The pane's home is $W: a short command keeps the screen's rows where they are checked.
  # The next launch, whose command writes again, is 20 s on: a repair by then is the next pass's.
  run_in_pane "'sleep 1; seq 101 130; touch ~/launched' /time=20 /REPEAT"
  wait_for_exists "$W/launched" 30
  screen_whole() {
    screen_has '^ Vorbelin' && ! screen_has '^1[0-3][0-9]$' &&
      screen | sed -n 16p | grep -Eq '^■ Time left: +00:00:[0-2][0-9] \([0-9]+ seconds remaing\)\.\.\. [│/\\-]$'
  }
  check "output of a launched command is repaired by the next pass" wait_until 12 screen_whole
  press Escape
  check "terminal mode restored after it" mode_restored
}

# Keys the program never read are the shell's when it ends.
case_type_ahead() {
  fresh_pane
  program_script "x /time=2 /Q"
  # The program starts once the keys are in the terminal's buffer (echoed there).
  type_line "until [ -e $W/go ]; do sleep 0.1; done; sh $W/program.sh"
  # shellcheck disable=SC2016 # the keys typed, for the shell in the pane to expand
  tmux send-keys -t "$SESSION" -l '123echo $((6*7))'
  press Enter
  wait_for_screen '^123echo' 10
  touch "$W/go"
  check "keys typed ahead and not read reach the shell" wait_for_screen '^42$' 10
}

# kill -CONT changes nothing.
case_sigcont() {
  fresh_pane
  run_in_pane "x /TIME=60"
  wait_for_screen 'Time left' 10
  signal_program CONT
  next_pass
  press Escape
  check "ESC after a SIGCONT" status_is 0
  check "terminal mode restored after a SIGCONT" mode_restored
}

# NO_COLOR: the title bar in reverse video, no colour anywhere.
case_no_color() {
  fresh_pane
  LAUNCHER="env NO_COLOR=1" run_in_pane "'touch $W/launched' /time=3"
  wait_for_screen 'Time left' 10
  colourless() {
    local shown
    shown=$(tmux capture-pane -t "$SESSION" -p -e)
    head -1 <<< "$shown" | grep -q $'^\e\[7m Vorbelin' && ! grep -Eq $'\e\[([0-9;]*;)?(3[0-7]|4[0-7]|9[0-7])m' <<< "$shown"
  }
  check "NO_COLOR: reverse video and no colours" colourless
}

# TERM=dumb: no escape sequence at all, the screens as lines.
case_dumb_terminal() {
  fresh_pane
  program_script "true /time=3"
  type_line "TERM=dumb script -qfc \"sh $W/program.sh\" $W/out.txt; echo \$? > $W/status"
  check "TERM=dumb: status 0" status_is 0
  plain_lines() {
    ! grep -q $'\e' "$W/out.txt" && [ "$(grep -c 'Time left' "$W/out.txt")" -ge 2 ] &&
      grep -q '^ Vorbelin' "$W/out.txt"
  }
  check "TERM=dumb: each pass as lines, no escape sequence" plain_lines
  # Typed control keys are echoed as the screen shows them: SO would switch a VT terminal to
  # its second character set.
  program_script "x /time=30"
  rm -f "$W/status"
  type_line "TERM=dumb script -qfc \"sh $W/program.sh\" $W/keys.txt; echo \$? > $W/status"
  wait_for_screen 'Time left' 10
  press C-n
  wait_until 10 grep -q '♫' "$W/keys.txt"
  press Escape
  check "TERM=dumb: ESC stops with status 0" status_is 0
  glyph_echo() { grep -q '♫' "$W/keys.txt" && ! grep -q $'[\e\x0e]' "$W/keys.txt"; }
  check "TERM=dumb: control keys echoed as glyphs" glyph_echo
}

# What a terminal can do comes from its description: vt100 and xterm-mono have no colours, no
# title and no cursor to hide; the screen is still drawn, backgrounds in reverse video.
case_terminal_without_colours() {
  local type
  for type in vt100 xterm-mono; do
    fresh_pane
    program_script "true /time=2"
    type_line "TERM=$type script -qfc \"sh $W/program.sh\" $W/$type.bytes; echo \$? > $W/status"
    check "TERM=$type: status 0" status_is 0
    described() {
      grep -q $'\e\\[7m Vorbelin' "$1" && ! grep -Eq $'\e\\[([0-9;]*;)?(3[0-7]|4[0-7]|9[0-7])m|\e\\]0;|\e\\[22;0t|\e\\[\\?25l' "$1"
    }
    check "TERM=$type: reverse video, no colour, title or hidden cursor" described "$W/$type.bytes"
  done
}

# A launched command survives the scheduler's end: it runs in a session of its own.
case_command_outlives_scheduler() {
  fresh_pane
  run_in_pane "'sleep 2; touch $W/launched' /q"
  check "scheduler ends at once" status_is 0
  check "launched command finishes after the scheduler ended" wait_for_exists "$W/launched" 10
}

# With no descriptor to spare (ulimit -n 4: the terminal holds the fourth) the command's
# standard input is still not the user's terminal, whose keys are the program's.
case_command_stdin_without_descriptors() {
  fresh_pane
  LAUNCHER="bash -c 'ulimit -S -n 4; exec \"\$0\" \"\$@\"'" run_in_pane \
    "'ulimit -n 64; if test -t 0; then echo terminal; else echo none; fi > $W/launched' /time=1 /q"
  check "status 0 with four descriptors" status_is 0
  check "the command's standard input is not the terminal" file_has "$W/launched" '^none$'
}

# What a launched command writes stays on the screen: the program's next lines come below it.
case_command_output_stays() {
  fresh_pane
  run_in_pane "'echo launched' /time=2"
  check "status 0 after the launch" status_is 0
  check "the command's output and the completion line both shown" \
    bash -c "tmux capture-pane -t $SESSION -p | grep -A1 '^launched\$' | grep -q '^■ Launch of \"echo launched\" completed'"
}

# Copies that share a terminal give back the user's mode whatever the order they end in: one a
# script starts with & beside one in its foreground, and one a script leaves running.
case_copies_keep_the_users_mode() {
  fresh_pane
  printf '%s\n' "stty -g > $W/before" "$BIN true /TIME=3 & sleep 0.5; $BIN true /TIME=5; wait" \
    "stty -g > $W/after" > "$W/two.sh"
  type_line "sh $W/two.sh"
  check "two copies: the user's mode after both" mode_restored
  fresh_pane
  type_line "stty -g > $W/before; sh -c '$BIN true /time=3 & echo \$! > $W/pid; sleep 1'; while kill -0 \$(cat $W/pid) 2>/dev/null; do sleep 0.1; done; stty -g > $W/after"
  check "a copy left by its script: the user's mode after it" mode_restored
}

# The command's control characters reach no terminal and no file raw: on the screen, on a
# terminal that cannot place the cursor, on standard error and in redirected output they show as
# the glyphs the screen uses.
raw_free() {
  [ -s "$1" ] && ! LC_ALL=C grep -qa -e $'\e]0;pwned' -e $'\e\\[?1049h' -e $'\rOVERWRITTEN' -e $'\xc2\x9b' "$1"
}
case_hostile_command_text() {
  printf '%s' $'true \'\e]0;pwned\a\e[?1049h\rOVERWRITTEN\xc2\x9b31m\'' > "$W/hostile"
  local command="\"\$(cat $W/hostile)\""
  fresh_pane
  tmux pipe-pane -t "$SESSION" -o "cat > $W/terminal.bytes"
  run_in_pane "$command /time=2 > $W/out.txt"
  check "the screen shows the controls as glyphs" wait_for_screen "Launching \"true '←]0;pwned•←\[\?1049h♪OVERWRITTEN¢31m'\"" 10
  check "status 0 after the hostile command" status_is 0
  tmux pipe-pane -t "$SESSION"
  check "nothing raw reached the terminal" raw_free "$W/terminal.bytes"
  check "nor redirected standard output" raw_free "$W/out.txt"
  program_script "$command /time=1"
  rm -f "$W/status"
  type_line "TERM=dumb script -qfc \"sh $W/program.sh\" $W/dumb.txt; setsid -w sh $W/program.sh </dev/null >/dev/null 2>$W/err.txt; echo \$? > $W/status"
  check "both runs ended" status_is 0
  check "nothing raw on a terminal without cursor moves" raw_free "$W/dumb.txt"
  check "nothing raw on standard error" raw_free "$W/err.txt"
}

# A terminal that stops reading while the program ends still gets the restore, whole.
case_stalled_terminal() {
  check "the restore reaches a terminal that stalled" emulated stalled_reader
}

# The bytes a pseudo-terminal got, through a VT100 emulator (pyte): a python3 that has it.
emulated() {
  local python
  for python in python3 /usr/bin/python3; do
    if command -v "$python" >/dev/null && "$python" -c 'import pyte' 2>/dev/null; then
      "$python" "$HERE/pty_emulated.py" "$BIN" "$1"
      return
    fi
  done
  skip_or_fail "python3 with pyte is not installed (Debian: python3-pyte)"
}

# A reader that stalls while the window is resized, then SIGTERM or ESC: the end waits for it,
# and the terminal gets no sequence cut short, the cursor back and the stop message.
case_stalled_end() {
  check "a stalled end leaves every sequence whole" emulated stalled_end
}

# An arrow key whose bytes arrive apart, Alt with [ or O, an overlong sequence: none is ESC.
case_split_keys() {
  check "keys read whole however their bytes arrive" emulated split_keys
}

# A command that leaves the line-drawing set, no autowrap, a scroll region, origin mode and
# stty raw: the next screen and the end put back what the screen needs.
case_command_modes() {
  check "what a command changed is put back for the screen" emulated command_modes
}

# A command in Chinese, with emoji, combining accents, or Latin-1 in an ISO-8859-1 locale: shown
# whole, each character in the columns the terminal gives it.
case_scripts() {
  check "text in every script shown aligned" emulated scripts
}

# A hang-up with SIGHUP ignored ends every key wait: the /DEBUG prompt goes on to the launch,
# and the help pager ends with status 0.
case_hang_up() {
  fresh_pane
  LAUNCHER='nohup' run_in_pane "'echo x >> $W/launched' /TIME=1 /DEBUG"
  wait_for_screen 'Press a key' 10
  tmux kill-session -t "$SESSION"
  SESSION=""
  check "after a hang-up at the debug prompt the launch comes" wait_for_file "$W/launched" 10
  check "... and the run ends" wait_until 10 bash -c "! kill -0 $(program_pid) 2>/dev/null"
  fresh_pane
  program_script "/?"
  type_line "sh -c 'trap \"\" HUP; sh $W/program.sh; echo \$? > $W/status'"
  wait_for_screen 'More \(ESC quits\)' 10
  tmux kill-session -t "$SESSION"
  SESSION=""
  check "after a hang-up the help pager ends with status 0" status_is 0
}

# Quiet mode waits for its launch in one sleep, and ESC still ends it at once.
case_quiet_esc() {
  fresh_pane
  run_in_pane "x /TIME=3600 /TICK=30 /Q"
  wait_until 10 program_running
  press Escape
  # At once, as against the hour of a wait that does not watch the keys.
  check "ESC ends a quiet wait at once" wait_until 30 file_has_content "$W/status"
  check "... with status 0" status_is 0
}

run_cases "$@"
