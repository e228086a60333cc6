#!/usr/bin/env bash
# Lateness after a wake: each program in turn in a Debian guest under QEMU that sleeps 30 s
# (ACPI S3, woken by its RTC alarm) while five runs wait (tests/e2e/suspend_e2e.sh, its
# --lateness mode). A run's lateness is its launch on the guest's boot-time clock less the later
# of its due time and the wake; the guest waits 45 s after the wake, so a run late by the whole
# sleep still shows. One boot per program, about 80 s each under TCG.
#
#   bash bench/suspend.sh [--label TEXT] PROGRAM [[--label TEXT] PROGRAM...]
set -u
HERE=$(cd "$(dirname "$0")" && pwd)

# What each run of the guest is, for the table (its backquotes are Markdown).
# shellcheck disable=SC2016
describe() {
  case $1 in
    quiet) echo '`/TIME=20 /Q`, no terminal, due 15 s into the sleep' ;;
    quiet_terminal) echo '`/TIME=20 /Q` on a terminal, due 15 s into the sleep' ;;
    visible_terminal) echo '`/TIME=30 /TICK=50` on a terminal, due 25 s into the sleep' ;;
    time_of_day) echo '`/TIME=hh:mm /Q`, no terminal, due 15 s into the sleep' ;;
    after_wake) echo '`/TIME=42 /Q`, no terminal, due 7 s after the wake' ;;
    clock_step) echo '`/TIME=hh:mm /Q`, the wall clock set over its minute 2 s after the wake' ;;
    *) echo "$1" ;;
  esac
}

label=""
[ $# -gt 0 ] || set -- "$HERE/../build/vorbelin"
echo "| program | run | late after the wake |"
echo "|---|---|---|"
while [ $# -gt 0 ]; do
  if [ "$1" = --label ]; then
    label=$2
    shift 2
    continue
  fi
  program=$1
  shift
  out=$(bash "$HERE/../tests/e2e/suspend_e2e.sh" "$program" --lateness) || {
    echo "the guest did not report for $program:" >&2
    echo "$out" >&2
    exit 1
  }
  # The guest's own report of its sleep goes beside the table.
  grep '^ *slept' <<< "$out" | sed "s|^ *|${label:-$program}: |" >&2
  awk 'f { print } /^run due_s/ { f = 1 }' <<< "$out" |
    while read -r name _due _wake launch late; do
      [ "$launch" = - ] && late="not within 45 s" || late="$late ms"
      echo "| ${label:-$program} | $(describe "$name") | $late |"
    done
  label=""
done
