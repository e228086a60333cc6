#!/usr/bin/env bash
# Benchmarks of the POSIX build over one minute of waiting, side by side with sleep and watch on
# the same machine in the same minute (not a test: nothing passes or fails). Writes
# bench/RESULTS.md. Usage: bash bench/run.sh [path/to/vorbelin]
set -eu
cd "$(dirname "$0")/.."
BIN=$(realpath "${1:-build/vorbelin}")
W=$(mktemp -d)
trap 'rm -rf "$W"' EXIT
export TERM=xterm-256color COLUMNS=80 LINES=25
measure() { /usr/bin/time -f "%U %S %M" -o "$W/$1.time" "${@:2}"; }
in_pty() { script -q -e -c "stty cols 80 rows 25; $1" "$2" >/dev/null; }
target=$(date -d '+2 hours' +%H:%M)

start=$(date +%s.%N)
measure screen in_pty "$BIN 'date +%s.%N > $W/launched' /TIME=60 /TICK=5" "$W/screen.out" &
measure quiet in_pty "$BIN true /TIME=60 /TICK=5 /Q" "$W/quiet.out" &
measure tod in_pty "timeout 60 $BIN true /TIME=$target" "$W/tod.out" &
measure sleep sleep 60 &
measure watch in_pty "timeout 60 watch -n 5 date" "$W/watch.out" &
# Start-up: from the start until the first complete status screen reached the terminal.
in_pty "$BIN true /TIME=30" "$W/first.out" &
first_start=$(date +%s.%N)
until grep -q 'remaing' "$W/first.out" 2>/dev/null; do sleep 0.001; done
first_end=$(date +%s.%N)
pkill -f "$BIN true /TIME=30" || true
wait

cpu() { awk '{printf "%.3f", $1 + $2}' "$W/$1.time"; }
rss() { awk '{printf "%d", $3}' "$W/$1.time"; }
per_hour() { awk -v c="$(cpu "$1")" 'BEGIN {printf "%.3f", c * 60}'; }
redraws=$(grep -o 'remaing' "$W/screen.out" | wc -l)
screen_bytes=$(wc -c < "$W/screen.out")
watch_bytes=$(wc -c < "$W/watch.out")
watch_redraws=12
drift=$(awk -v s="$start" -v e="$(cat "$W/launched")" -v p="$redraws" \
  'BEGIN {d = e - s - 60; printf "%.1f ms in all, %.2f ms per pass", d * 1000, d * 1000 / p}')
startup=$(awk -v s="$first_start" -v e="$first_end" 'BEGIN {printf "%.1f", (e - s) * 1000}')

cat > bench/RESULTS.md <<RESULTS
# Benchmark results

Machine: $(nproc) cores, $(uname -sr), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //').
Date: $(date -u +%Y-%m-%d). Command: \`bash bench/run.sh\` (one run; every program below ran in
the same minute, so the figures compare as ratios; the machine is shared and noisy).

Method: each program runs for 60 seconds in a pseudo-terminal of 80 by 25 (\`script\`); CPU is
user plus system time and peak memory the maximum resident set, both from \`/usr/bin/time\`.
Bytes are everything the program wrote to the terminal, divided by its redraws. Drift is the
wall time from the start to the launch of \`/TIME=60\`, minus 60 seconds. Start-up is the time
until the first complete status screen has reached the terminal (polled every millisecond).

| what | CPU in 60 s | per hour of waiting | peak memory |
|---|---|---|---|
| vorbelin countdown with the status screen (\`/TIME=60 /TICK=5\`, $redraws redraws) | $(cpu screen) s | $(per_hour screen) s | $(rss screen) KiB |
| vorbelin countdown, quiet (\`/Q\`) | $(cpu quiet) s | $(per_hour quiet) s | $(rss quiet) KiB |
| vorbelin time-of-day mode (refresh 5 s) | $(cpu tod) s | $(per_hour tod) s | $(rss tod) KiB |
| \`sleep 60\` | $(cpu sleep) s | $(per_hour sleep) s | $(rss sleep) KiB |
| \`watch -n 5 date\` | $(cpu watch) s | $(per_hour watch) s | $(rss watch) KiB |

| what | figure |
|---|---|
| bytes per redraw, vorbelin (seconds and title colour change) | $((screen_bytes / redraws)) ($screen_bytes bytes, $redraws redraws, the first one a full screen) |
| bytes per redraw, \`watch -n 5 date\` | $((watch_bytes / watch_redraws)) ($watch_bytes bytes, $watch_redraws redraws) |
| drift of \`/TIME=60\` | $drift |
| start-up to the first status screen | $startup ms |
RESULTS
cat bench/RESULTS.md
