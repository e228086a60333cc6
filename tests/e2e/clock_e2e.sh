#!/usr/bin/env bash
# The real POSIX binary on real daylight-saving nights: the C library's time zone rules, with
# the wall clock faked by libfaketime. libfaketime is trusted only this far: it moves the wall
# clock and the program's other clocks together and speeds up their sleeps (x600: a five-second
# pass lasts 8 ms); the zone rules and every conversion are the C library's own. A faked second
# is too short to judge timing by, so only which launches happen, and on which side of the
# change, is checked.
#
#   bash tests/e2e/clock_e2e.sh [path/to/vorbelin] [CASE...]    (--list names the cases)
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=$HERE/../../build/vorbelin
if [ $# -gt 0 ] && [[ $1 == */* ]]; then
  BIN=$1
  shift
fi
BIN=$(realpath "$BIN")
. "$HERE/lib.sh"
FAKETIME_LIB=$(find /usr/lib -name libfaketime.so.1 2>/dev/null | head -1)
[ -n "$FAKETIME_LIB" ] || skip_or_fail "libfaketime is not installed (Debian package faketime)"
[ -e /usr/share/zoneinfo/Europe/Berlin ] || skip_or_fail "no time zone data (Debian package tzdata)"

# Runs a daily 02:30 launch in Berlin from a faked start for some real seconds; each launch
# appends the faked time it ran at to the file launches.
night() {
  local start=$1 seconds=$2
  rm -f "$E2E_DIR/launches"
  TZ=Europe/Berlin LD_PRELOAD=$FAKETIME_LIB FAKETIME="@$start x600" FAKETIME_DONT_RESET=1 \
    timeout "$seconds" setsid -w "$BIN" "date '+%H:%M %Z' >> $E2E_DIR/launches" /TIME=02:30 /R /Q \
    </dev/null 2>/dev/null
  cat "$E2E_DIR/launches" 2>/dev/null | tr '\n' ' '
}
launches_were() {
  local got
  got=$(night "$1" "$2")
  [ "$got" = "$3" ] || { echo "    launches: '$got', expected '$3'"; return 1; }
}

# Autumn: 02:00 to 03:00 comes twice; 02:30 launches at its first coming only.
case_autumn_night() {
  check "autumn night: one launch" launches_were "2026-10-25 01:50:00" 12 "02:30 CEST "
}

# Spring: 02:00 becomes 03:00; the day's launch comes as the clock skips over 02:30.
case_spring_night() {
  check "spring night: launched as 02:30 is skipped" launches_were "2027-03-28 01:58:00" 3 "03:00 CEST "
}

run_cases "$@"
