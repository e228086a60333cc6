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
. "$HERE/lib.sh"
take_program_argument "$HERE/../../build/vorbelin" "$@"
shift $PROGRAM_ARGS
BIN=$(realpath "$PROGRAM")
FAKETIME_LIB=$(find /usr/lib -name libfaketime.so.1 2>/dev/null | head -1)
[ -n "$FAKETIME_LIB" ] || skip_or_fail "libfaketime is not installed (Debian package faketime)"
[ -e /usr/share/zoneinfo/Europe/Berlin ] || skip_or_fail "no time zone data (Debian package tzdata)"

# Runs a daily launch in a zone from a faked start for some real seconds, with the options
# given; each launch appends the faked time it ran at to the file launches.
night() {
  local zone=$1 start=$2 seconds=$3
  shift 3
  rm -f "$E2E_DIR/launches"
  TZ=$zone LD_PRELOAD=$FAKETIME_LIB FAKETIME="@$start x600" FAKETIME_DONT_RESET=1 \
    timeout "$seconds" setsid -w "$BIN" "date '+%H:%M %Z' >> $E2E_DIR/launches" /R /Q "$@" \
    </dev/null 2>/dev/null
  cat "$E2E_DIR/launches" 2>/dev/null | tr '\n' ' '
}
# ZONE START SECONDS EXPECTED OPTION...
launches_were() {
  local zone=$1 start=$2 seconds=$3 expected=$4 got
  shift 4
  got=$(night "$zone" "$start" "$seconds" "$@")
  [ "$got" = "$expected" ] || { echo "    launches: '$got', expected '$expected'"; return 1; }
}

# Autumn: 02:00 to 03:00 comes twice; 02:30 launches at its first coming only.
case_autumn_night() {
  check "autumn night: one launch" \
    launches_were Europe/Berlin "2026-10-25 01:50:00" 12 "02:30 CEST " /TIME=02:30
}

# Spring: 02:00 becomes 03:00; the day's launch comes as the clock skips over 02:30.
case_spring_night() {
  check "spring night: launched as 02:30 is skipped" \
    launches_were Europe/Berlin "2027-03-28 01:58:00" 3 "03:00 CEST " /TIME=02:30
}

# A two-hour refresh from 01:45 on Sydney's spring night (02:00 becomes 03:00): the sleep ends
# at 03:30, 45 minutes on, not at the wall clock's 1 h 45 min.
case_long_refresh_on_a_spring_night() {
  check "a long refresh launches on time across a spring night" \
    launches_were Australia/Sydney "2026-10-04 01:45:00" 8 "03:30 AEDT " /TIME=03:30 /TICK=7200
}

run_cases "$@"
