# shellcheck shell=bash
# Shared helpers for the end-to-end tests: a tmux session per test, polling instead of sleeps.
# Tests that cannot run here exit 77 (skipped), except under CI=true, where they must run.

skip_or_fail() {
  if [ "${CI:-}" = "true" ]; then
    echo "FAIL: $1 (required under CI)"
    exit 1
  fi
  echo "SKIP: $1"
  exit 77
}

# The version the build gives the program, from the one line that sets it.
project_version() { sed -n 's/^project(vorbelin VERSION \([0-9.]*\).*/\1/p' "$(dirname "${BASH_SOURCE[0]}")/../../CMakeLists.txt"; }

case_names() { grep -o '^case_[a-z0-9_]*()' "$0" | sed 's/^case_//; s/()$//'; }
# --list names the cases of the script, before any set-up.
if [ "${1:-}" = "--list" ]; then
  case_names
  exit 0
fi

# The program under test: the script's first argument when it is a path (an empty one: none was
# built), taken off its arguments; else E2E_PROGRAM (build/vorbelin by default) in the source
# tree. BIN is its full path, PROGRAM as given.
# shellcheck disable=SC2034 # read by the script that sources this
HERE=$(cd "$(dirname "$0")" && pwd)
PROGRAM=$HERE/../../${E2E_PROGRAM:-build/vorbelin}
if [ $# -gt 0 ] && [[ -z $1 || $1 == */* ]]; then
  PROGRAM=$1
  shift
fi
# shellcheck disable=SC2034
BIN=$(realpath "$PROGRAM" 2>/dev/null || echo "$PROGRAM")

export TERM=${TERM:-xterm-256color}
E2E_DIR=$(mktemp -d /tmp/vorbelin-e2e.XXXXXX)
SESSION=""
PANES=0
PASSED=0
FAILED=0

# Every tmux call goes to a server of this run's own, on a socket in its folder: -S wins over
# $TMUX and $TMUX_TMPDIR, so a run started from inside tmux never reaches the caller's server.
unset TMUX
export E2E_TMUX_SOCKET="$E2E_DIR/tmux.sock"
tmux() { command tmux -S "$E2E_TMUX_SOCKET" "$@"; }
export -f tmux

# The processes a test started and may have to end: ids written one per line to $E2E_DIR/pids,
# or the id of a process group as a negative number. Nothing else is ever signalled.
end_recorded() {
  local id
  [ -f "$E2E_DIR/pids" ] || return 0
  while read -r id; do
    [ -n "$id" ] && kill -KILL -- "$id" 2>/dev/null
  done < "$E2E_DIR/pids"
  rm -f "$E2E_DIR/pids"
}
record_pid() { echo "$1" >> "$E2E_DIR/pids"; }

# What else a script started and must end itself (a wine server of its own prefix) goes in
# this function, run before the folder is removed.
end_own_servers() { :; }

cleanup() {
  end_recorded
  [ -S "$E2E_TMUX_SOCKET" ] && tmux kill-server 2>/dev/null
  end_own_servers
  # A process of the last pane may still be writing into the folder as it ends.
  wait_until 3 rm -rf "$E2E_DIR" 2>/dev/null
}
trap cleanup EXIT

# A fresh pane of 80 by 25 cells running bash without a profile, in a UTF-8 locale, in the
# test's folder (what a program writes where it runs, nohup.out say, goes there), with the
# sanitizers' options of a sanitizer build's run (tests/sanitized_case.sh).
new_pane() {
  local previous=$SESSION
  PANES=$((PANES + 1))
  SESSION="e2e-$PANES"
  # The new session comes first: a server left without sessions exits, racing the next one.
  tmux -f /dev/null new-session -d -s "$SESSION" -c "$E2E_DIR" -x 80 -y 25 "env -i PATH=$PATH HOME=$E2E_DIR TERM=xterm-256color LANG=C.UTF-8 PS1='$ ' ${ASAN_OPTIONS:+ASAN_OPTIONS=$ASAN_OPTIONS} ${UBSAN_OPTIONS:+UBSAN_OPTIONS=$UBSAN_OPTIONS} $* bash --norc --noprofile"
  [ -n "$previous" ] && tmux kill-session -t "$previous" 2>/dev/null
  tmux set-option -t "$SESSION" status off >/dev/null
  tmux resize-window -t "$SESSION" -x 80 -y 25 2>/dev/null
  # capture-pane trims trailing blanks: the prompt "$ " shows as "$".
  wait_for_screen '^\$' 10 || true
}

type_line() { tmux send-keys -t "$SESSION" -l "$1"; tmux send-keys -t "$SESSION" Enter; }
press() { tmux send-keys -t "$SESSION" "$@"; }
screen() { tmux capture-pane -t "$SESSION" -p; }

# Polls a command every 0.1 s until it succeeds, up to a number of seconds.
wait_until() {
  local seconds=$1 i
  shift
  for ((i = 0; i < seconds * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

screen_has() { screen | grep -Eq -- "$1"; }
file_has_content() { [ -s "$1" ]; }
file_exists() { [ -e "$1" ]; }

# The pane shows an extended regular expression; a file exists and is not empty; a file exists.
wait_for_screen() { wait_until "${2:-10}" screen_has "$1"; }
wait_for_file() { wait_until "${2:-10}" file_has_content "$1"; }
wait_for_exists() { wait_until "${2:-10}" file_exists "$1"; }

check() {
  local name=$1
  shift
  if "$@"; then
    PASSED=$((PASSED + 1))
    echo "ok: $name"
  else
    FAILED=$((FAILED + 1))
    echo "FAILED: $name"
    if [ -n "$SESSION" ]; then
      echo "--- screen:"
      screen | sed 's/^/    /'
    fi
  fi
}

# The cases of a script are its functions named case_NAME, run in the order they are written:
# all of them, or those named on the command line.
run_cases() {
  local name all
  all=$(case_names)
  # shellcheck disable=SC2086 # one case a word
  [ $# -gt 0 ] || set -- $all
  for name in "$@"; do
    if ! grep -qx "$name" <<< "$all"; then
      # shellcheck disable=SC2086 # the names, one word each
      echo "no case named $name; the cases are:" $all
      exit 2
    fi
  done
  for name in "$@"; do
    echo "# $name"
    "case_$name"
    end_recorded
  done
  finish
}

finish() {
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
}
