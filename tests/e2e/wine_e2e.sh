#!/usr/bin/env bash
# End-to-end tests of vorbelin.exe under wine in tmux (wine gives a program a console only on a
# terminal): the real Win32 console, the command processor search and a real cmd.exe START.
#
#   bash tests/e2e/wine_e2e.sh [path/to/vorbelin.exe] [CASE...]    (--list names the cases)
#
# Every case by default, with build-win/vorbelin.exe when no program is named (an empty name:
# none was built). The cases share the wine prefix that VORBELIN_WINEPREFIX names when it is set
# (made by wine_prefix.sh); otherwise the run makes one of its own and ends its server.
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/lib.sh"
take_program_argument "$HERE/../../build-win/vorbelin.exe" "$@"
shift $PROGRAM_ARGS
EXE=$PROGRAM
command -v tmux >/dev/null || skip_or_fail "tmux is not installed"
command -v wine >/dev/null || skip_or_fail "wine is not installed"
[ -n "$EXE" ] && [ -f "$EXE" ] || skip_or_fail "no vorbelin.exe '$EXE' (mingw-w64 not installed?)"
EXE=$(realpath "$EXE")

W=$E2E_DIR
export WINEDEBUG=-all
if [ -n "${VORBELIN_WINEPREFIX:-}" ]; then
  [ -d "$VORBELIN_WINEPREFIX" ] || { echo "FAIL: no wine prefix $VORBELIN_WINEPREFIX"; exit 1; }
  export WINEPREFIX=$VORBELIN_WINEPREFIX
else
  export WINEPREFIX="$W/prefix"
  bash "$HERE/wine_prefix.sh" make "$WINEPREFIX" || exit 1
  end_own_servers() { bash "$HERE/wine_prefix.sh" end "$WINEPREFIX"; }
fi
winpath() { echo "Z:${1//\//\\}"; }
EXEW=$(winpath "$EXE")
WW=$(winpath "$W")

# Runs batch lines under wine's cmd.exe in a fresh pane; the batch records ERRORLEVEL. The panes
# have a UTF-8 locale: wine then reads the words and draws the console's glyphs as UTF-8.
run_batch() {
  rm -f "$W/status"
  {
    echo "@echo off"
    printf '%s\n' "$@"
    echo "echo status %ERRORLEVEL% > $WW\\status"
  } | sed 's/$/\r/' > "$W/run.bat"
  new_pane "WINEPREFIX=$WINEPREFIX WINEDEBUG=-all LANG=C.UTF-8"
  type_line "clear; wine cmd /c '$WW\\run.bat'"
}
status_is() { wait_for_file "$W/status" 60 && [ "$(tr -d '\r\n ' < "$W/status")" = "status$1" ]; }

# A countdown launch through CMD /C START: the command really runs, the run ends with status 0.
case_countdown_launch() {
  run_batch "\"$EXEW\" \"cmd /c mkdir $WW\\launched1\" /time=3"
  check "status screen in the Windows console" wait_for_screen 'Time left: +00:00:0[123]' 30
  check "launched command ran" wait_for_exists "$W/launched1" 30
  check "status 0 after the launch" status_is 0
  check "launch announced" wait_for_screen 'Launch of "cmd /c mkdir .*launched1" completed' 5
  check "standard output's lines show the square" screen_has '^■ Waiting to launch: '
}

# Each pass reaches the console whole: over a run that redraws every second, no capture of the
# pane shows a blank or half-drawn screen.
whole_screen() {
  local capture=$1
  [ "$(head -1 <<< "$capture")" = " Vorbelin $(project_version) - waits, then launches a program or internal command" ] &&
    grep -q '^■ Running since: ' <<< "$capture" &&
    grep -Eq '^■ Time left: +00:00:[0-9]{2} \([0-9]+ seconds remaing\)\.\.\. [│/\\-]$' <<< "$capture"
}
every_capture_whole() {
  local i capture partial=0 taken=0
  wait_for_screen 'Time left' 30 || return 1
  for ((i = 0; i < 400; i++)); do
    capture=$(tmux capture-pane -t "$SESSION" -p)
    grep -q 'Launching "' <<< "$capture" && break
    taken=$((taken + 1))
    whole_screen "$capture" || partial=$((partial + 1))
    sleep 0.05
  done
  echo "    $partial of $taken captures blank or partial"
  [ "$taken" -ge 50 ] && [ "$partial" -eq 0 ]
}
case_whole_screens() {
  # Long enough for 50 captures on a busy machine (the cases run side by side).
  run_batch "\"$EXEW\" \"cmd /c rem\" /time=20"
  check "every capture of the pane is a whole screen" every_capture_whole
}

# There is no COMMAND on NT: the launch fails, is said to have failed, and the status is 2.
case_command_through_command() {
  run_batch "\"$EXEW\" \"cmd /c rem\" /DOS /time=1"
  check "a launch through COMMAND fails" wait_for_screen 'Launch of "cmd /c rem" failed: exit code [0-9]+' 30
  check "status 2 after a failed launch" status_is 2
}

# The command's characters: shown in the console's code page (which lacks Ж), and launched with
# every one of them.
case_command_characters() {
  new_pane "WINEPREFIX=$WINEPREFIX WINEDEBUG=-all LANG=C.UTF-8"
  type_line "clear; wine '$EXE' 'cmd /c type nul > $WW\\caféЖ.txt' /time=2"
  check "an accented command shown as typed" wait_for_screen 'Launching "cmd /c type nul > .*\\café\?\.txt" \.\.\.' 30
  check "... and launched with every character" wait_for_exists "$W/caféЖ.txt" 30
}

# Quiet mode writes nothing but the launch's blank line.
case_quiet() {
  run_batch "\"$EXEW\" \"cmd /c mkdir $WW\\launched2\" /Q > $WW\\quiet.txt"
  check "quiet launch ran" wait_for_exists "$W/launched2" 30
  check "quiet run status 0" status_is 0
  check "quiet run left the console empty" bash -c "[ -z \"\$(tmux capture-pane -t $SESSION -p | grep -v '^\$ *\$' | grep -v 'wine cmd')\" ]"
  check "quiet run wrote nothing to standard output" bash -c "[ ! -s $W/quiet.txt ]"
}

# /REPEAT launches again and counts; ESC stops it with status 0. Wine reports ESC without its
# character; the backend reads it as 27 as Windows gives it.
case_repeat_and_esc() {
  run_batch "\"$EXEW\" \"cmd /c echo x>> $WW\\repeat.txt\" /time=2 /REPEAT"
  check "repeat counts two launches" wait_for_screen 'Launched 2 times so far' 40
  press Escape
  check "ESC stops the repeating run" wait_for_screen 'Vorbelin (Was )?Terminated' 20
  check "status 0 after ESC" status_is 0
}

# Command-line errors on the console with status 1, also with standard output redirected.
case_command_line_errors() {
  run_batch "\"$EXEW\" x /TIME=24:00 > $WW\\err.txt"
  check "invalid time: status 1" status_is 1
  check "invalid time message on the console" wait_for_screen 'Error: invalid time given \(24:00\)' 5
  check "nothing in the redirected file" bash -c "[ ! -s $W/err.txt ]"
  run_batch "\"$EXEW\" -x /Q"
  check "no command: status 1" status_is 1
  check "no command message" wait_for_screen 'Error: No executable found on command line\.' 5
}

# The help screen for a two-word command line; ESC closes it with status 0.
case_help() {
  run_batch "\"$EXEW\" backup.exe"
  check "help with the More prompt" wait_for_screen '-- More \(ESC quits\) --' 30
  press Escape
  check "help closed with status 0" status_is 0
  # Sent to a file, each line ends with one CR LF.
  run_batch "\"$EXEW\" backup.exe > $WW\\help.txt"
  wait_for_screen '-- More \(ESC quits\) --' 30
  press Escape
  status_is 0
  one_cr_lf() { grep -q $'\r$' "$W/help.txt" && ! grep -q $'\r\r' "$W/help.txt"; }
  check "help in a file: lines end CR LF, never CR CR LF" one_cr_lf
}

# The time-of-day mode: status lines in the redirected file (text mode: CR LF), the rest on
# the console; the console title is the program's while it waits.
case_time_of_day_redirected() {
  local target
  target=$(date -d '+2 hours' +%H:%M)
  run_batch "\"$EXEW\" x /TIME=$target /EXCEPT=xyz > $WW\\tod.txt"
  check "excepted block on the console" wait_for_screen 'Not running on \.\.\.' 30
  check "console title while waiting" bash -c "[ \"\$(tmux display -p -t $SESSION '#{pane_title}')\" = Vorbelin ]"
  press Escape
  check "ESC stops the time-of-day mode" status_is 0
  # The C runtime buffers redirected output in full: the lines are there by the end of the run.
  check "status lines in the file" wait_for_file "$W/tod.txt" 20
  check "CR LF line ends in the file" grep -q $'Starting command at: '"$target"$':00 hrs\r$' "$W/tod.txt"
  check "no status line on the console" bash -c "! tmux capture-pane -t $SESSION -p | grep -q 'Starting command at'"
}

# Ctrl-C ends the program by the system's default handling, with no crash dump from a console
# control handler that took itself off inside its own call: while it waits, at the help pager and
# at the /DEBUG key prompt.
ctrl_c_ends_cleanly() {
  new_pane "WINEPREFIX=$WINEPREFIX WINEDEBUG=-all LANG=C.UTF-8"
  type_line "clear; wine '$EXE' $1 2> '$W/ctrl_c.err'; echo ended \$? > '$W/ctrl_c'"
  wait_for_screen "$2" 30 || return 1
  rm -f "$W/ctrl_c"
  press C-c
  wait_for_file "$W/ctrl_c" 30 && ! grep -q 'Unhandled' "$W/ctrl_c.err"
}
case_ctrl_c() {
  check "Ctrl-C while waiting" ctrl_c_ends_cleanly "x /time=100" 'Time left'
  check "Ctrl-C at the help pager" ctrl_c_ends_cleanly "backup.exe" 'More \(ESC quits\)'
  check "Ctrl-C at the debug prompt" ctrl_c_ends_cleanly "x /time=100 /DEBUG" 'Press a key'
}

# With COMSPEC unset, or naming a missing file, cmd.exe is found along PATH.
case_comspec() {
  run_batch "set COMSPEC=" "\"$EXEW\" \"cmd /c mkdir $WW\\launched3\" /Q" \
    "set COMSPEC=C:\\nowhere\\missing.exe" "\"$EXEW\" \"cmd /c mkdir $WW\\launched4\" /Q"
  check "launch with COMSPEC unset" wait_for_exists "$W/launched3" 40
  check "launch with COMSPEC naming a missing file" wait_for_exists "$W/launched4" 40
  check "status 0 after both" status_is 0
}

# A PATH directory whose name is invalid is not "not found": the search ends there, nothing
# starts, and the run says so with status 2.
case_invalid_path_directory() {
  run_batch "set COMSPEC=" "set \"PATH=C:\\bad<dir;%PATH%\"" "\"$EXEW\" \"cmd /c mkdir $WW\\launched5\" /Q"
  ended_without_launch() { status_is 2 && sleep 2 && [ ! -e "$W/$1" ]; }
  check "an invalid PATH directory ends the search" ended_without_launch launched5
}

# Quiet mode waits on the console input: ESC ends it at once.
case_quiet_esc() {
  run_batch "\"$EXEW\" \"cmd /c rem\" /time=3600 /TICK=30 /Q"
  wait_until 30 bash -c "[ \"\$(tmux display -p -t $SESSION '#{pane_title}')\" = Vorbelin ]"
  press Escape
  check "ESC ends a quiet wait at once" wait_until 3 file_has_content "$W/status"
  check "... with status 0" status_is 0
}

# Without a console the console's text goes to standard error: a failed launch is told there.
case_no_console() {
  timeout 60 setsid -w wine "$EXE" no_such_prog /time=1 /Q </dev/null >"$W/nc.out" 2>"$W/nc.err"
  check "without a console: status 2 after a failed launch" [ $? = 2 ]
  check "... and standard error says why" grep -q 'Launch of "no_such_prog" failed' "$W/nc.err"
}

# Another program's text on the console is gone at the next pass: each pass leaves the console
# as the screen buffer says. The other program writes after a quiet wait of its own, in the
# same console (start /b).
case_foreign_text() {
  printf '%s\r\n' "@\"$EXEW\" \"cmd /c rem\" /time=8 /Q" '@echo FOREIGN1' '@echo FOREIGN2' \
    '@echo FOREIGN3' > "$W/foreign.bat"
  run_batch "start /b cmd /c $WW\\foreign.bat" "\"$EXEW\" \"cmd /c rem\" /time=30"
  check "another program's text shows" wait_for_screen FOREIGN 30
  check "... and the next pass draws over it" wait_until 5 bash -c "! tmux capture-pane -t $SESSION -p | grep -q FOREIGN"
}

# The console probe (console_probe.c): another program in the same console, built once a run
# with mingw-w64's C compiler.
PROBEW=$(winpath "$W/console_probe.exe")
probe() {
  [ -f "$W/console_probe.exe" ] && return 0
  if ! command -v x86_64-w64-mingw32-gcc >/dev/null; then
    [ "${CI:-}" = "true" ] && { check "mingw-w64's C compiler for the console probe" false; return 1; }
    echo "SKIP: no mingw-w64 C compiler for the console probe"
    return 1
  fi
  x86_64-w64-mingw32-gcc -O2 -o "$W/console_probe.exe" "$HERE/console_probe.c"
}

# More clicks queued than one look at the input holds, then ESC: the run stops at once.
case_clicks_then_esc() {
  probe || return
  # A launch far off: under load wine takes tens of seconds to queue the clicks.
  run_batch "start /b $PROBEW inject 3000 4000" "\"$EXEW\" \"cmd /c mkdir $WW\\clicked\" /time=300"
  check "ESC behind 4,000 clicks stops the run" wait_for_screen 'Vorbelin Was Terminated' 120
  check "... with status 0" status_is 0
  check "... before its launch" [ ! -e "$W/clicked" ]
}

# The input mode while the program runs has key events only (no mouse or VT input, QuickEdit
# off), and the mode it found, here without the extended flags, is given back bit for bit.
case_input_mode_given_back() {
  probe || return
  run_batch "$PROBEW mode 217 $WW\\mode.txt \"$EXEW x /time=100\""
  wait_for_screen 'Time left' 30
  press Escape
  status_is 0
  check "key events only while it runs" grep -q '^before 217 during a7 ' "$W/mode.txt"
  check "the mode found given back" grep -q ' after 217 status 0' "$W/mode.txt"
}

# A console without a window (a scheduled task's): no key is waited for, and the console's text
# goes to standard error.
case_console_without_window() {
  probe || return
  run_batch "$PROBEW nowindow $WW\\nw_help.txt $WW\\nw_help.err 20000 \"$EXEW x\"" \
    "$PROBEW nowindow $WW\\nw_fail.txt $WW\\nw_fail.err 30000 \"$EXEW no_such_prog /time=1\""
  status_is 0
  check "the help ends at once with status 0" grep -q '^ended status 0' "$W/nw_help.txt"
  check "a failed launch: status 2" grep -q '^ended status 2' "$W/nw_fail.txt"
  check "... told on standard error" grep -q 'Launch of "no_such_prog" failed' "$W/nw_fail.err"
}

# Redirected on a UTF-8 console, standard output is all UTF-8; on code page 1252, whose 0xFE is
# a letter, the square shows as itself.
case_code_pages() {
  run_batch "chcp 65001 > nul" "\"$EXEW\" x /TIME=23:59 /EXCEPT=xyz > $WW\\utf8.txt"
  wait_for_screen 'Not running on' 30
  press Escape
  status_is 0
  check "UTF-8 console: the file is all UTF-8" iconv -f UTF-8 -t UTF-16 "$W/utf8.txt" -o /dev/null
  check "... with the square" grep -q '^■ Waiting to launch' "$W/utf8.txt"
  run_batch "chcp 1252 > nul" "\"$EXEW\" \"cmd /c rem\" /time=2"
  check "code page 1252: the square shows as itself" wait_for_screen '^■ Waiting to launch' 30
  status_is 0
}

# A command of wide characters on code pages 65001 and 932: each takes two columns (wine's console
# sends the trailing half as a character of no width), one that would straddle the edge starts
# the next row, and the text after the command stands where it belongs. The command comes through
# the environment: cmd reads a batch file's own bytes in the OEM code page.
case_wide_characters() {
  local zhong=$'\u4e2d' page first second command
  command="cmd /c rem #$(printf "$zhong%.0s" {1..40})ABCDEFGHIJABCDEFGHIJABCDEFGHIJ"
  first="■ Waiting to launch: \"cmd /c rem #$(printf "$zhong%.0s" {1..23})"
  second="$(printf "$zhong%.0s" {1..17})ABCDEFGHIJABCDEFGHIJABCDEFGHIJ\""
  for page in 65001 932; do
    # A launch far off and a long wait for the screen: under load wine takes its time.
    printf '@echo off\r\nchcp %s > nul\r\n"%s" "%%WIDE%%" /time=300\r\n' "$page" "$EXEW" > "$W/wide.bat"
    new_pane "WINEPREFIX=$WINEPREFIX WINEDEBUG=-all LANG=C.UTF-8 WIDE='$command'"
    type_line "clear; wine cmd /c '$WW\\wide.bat'"
    wait_for_screen 'Updating every' 90
    check "code page $page: the wide characters' first row" \
      bash -c "[ \"\$(tmux capture-pane -t $SESSION -p | sed -n 3p | sed 's/\xe2\x80\x8b//g')\" = '$first' ]"
    check "... and the row after it" \
      bash -c "[ \"\$(tmux capture-pane -t $SESSION -p | sed -n 4p | sed 's/\xe2\x80\x8b//g')\" = '$second' ]"
    check "... then the next line where it belongs" screen_has '^■ Launching the command ONCE in 0h 5m 0s'
    press Escape
    wait_for_screen 'Terminated' 30
  done
}

run_cases "$@"
