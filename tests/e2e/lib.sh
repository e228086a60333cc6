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

export TERM=${TERM:-xterm-256color}
E2E_DIR=$(mktemp -d /tmp/vorbelin-e2e.XXXXXX)
SESSION=""
PANES=0
export TMUX_TMPDIR="$E2E_DIR"
PASSED=0
FAILED=0

cleanup() {
  tmux kill-server 2>/dev/null || true
  sleep 0.3
  rm -rf "$E2E_DIR" 2>/dev/null || true
}
trap cleanup EXIT

# A fresh pane of 80 by 25 cells running bash without a profile, in a UTF-8 locale.
new_pane() {
  local previous=$SESSION
  PANES=$((PANES + 1))
  SESSION="e2e-$PANES"
  # The new session comes first: a server left without sessions exits, racing the next one.
  tmux -f /dev/null new-session -d -s "$SESSION" -x 80 -y 25 "env -i PATH=$PATH HOME=$E2E_DIR TERM=xterm-256color LANG=C.UTF-8 PS1='$ ' $* bash --norc --noprofile"
  [ -n "$previous" ] && tmux kill-session -t "$previous" 2>/dev/null
  tmux set-option -t "$SESSION" status off >/dev/null
  tmux resize-window -t "$SESSION" -x 80 -y 25 2>/dev/null
  wait_for_screen '\$ ' 10 || true
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

finish() {
  echo "$PASSED passed, $FAILED failed"
  [ "$FAILED" -eq 0 ]
}
