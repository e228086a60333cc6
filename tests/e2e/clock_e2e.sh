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

# Apia crossed the date line: 29 December 2011 at UTC-10 was followed by the 31st at UTC+14. The
# 30th has no noon and launches nothing: noon on the 29th, then noon on the 31st (x3600: a day
# lasts 24 s).
case_a_date_the_zone_skips() {
  check "the skipped 30th launches nothing" launches_on_days_were "29 12:00 31 12:00 "
}
launches_on_days_were() {
  local got
  rm -f "$E2E_DIR/launches"
  TZ=Pacific/Apia LD_PRELOAD=$FAKETIME_LIB FAKETIME="@2011-12-29 11:58:00 x3600" \
    FAKETIME_DONT_RESET=1 timeout 26 setsid -w "$BIN" "date '+%d %H:%M' >> $E2E_DIR/launches" \
    /TIME=12:00 /R /Q </dev/null 2>/dev/null
  got=$(tr '\n' ' ' < "$E2E_DIR/launches" 2>/dev/null)
  [ "$got" = "$1" ] || { echo "    launches: '$got', expected '$1'"; return 1; }
}

# The zone swapped while a run waits for Tokyo's 17:05 (x60: a minute lasts a second), as a
# traveller's system does: Berlin's file for Tokyo's at /etc/localtime (in a mount namespace of
# the run's own), and the same with TZ naming a file. Within a minute the run plans Tokyo's 17:05,
# eight hours before Berlin's: the only launch the ten seconds of the run can hold (a launched
# command's own faked clock starts from the start's local time in the new zone, so the launch
# only says that it came).
case_a_moved_zone() {
  unshare -m true 2>/dev/null || skip_or_fail "no mount namespace to swap /etc/localtime in"
  check "/etc/localtime replaced: launched at Tokyo's 17:05" launched_in_new_zone /etc/localtime
  check "the file TZ names replaced: launched at Tokyo's 17:05" launched_in_new_zone "$E2E_DIR/zone"
}
launched_in_new_zone() {
  local zone_file=$1 tz=""
  cp /usr/share/zoneinfo/Europe/Berlin "$E2E_DIR/berlin"
  cp /usr/share/zoneinfo/Asia/Tokyo "$E2E_DIR/tokyo"
  cp "$E2E_DIR/berlin" "$E2E_DIR/zone"
  [ "$zone_file" = /etc/localtime ] || tz=":$zone_file"
  rm -f "$E2E_DIR/launches"
  unshare -m bash -c "
    mount --bind $E2E_DIR/berlin /etc/localtime || exit 1
    ${tz:+TZ=$tz} LD_PRELOAD=$FAKETIME_LIB FAKETIME='@2026-12-08 09:00:00 x60' \
      FAKETIME_DONT_RESET=1 timeout 10 setsid -w '$BIN' \
      \"echo launched >> $E2E_DIR/launches\" /TIME=17:05 /Q &
    sleep 1
    if [ $zone_file = /etc/localtime ]; then mount --bind $E2E_DIR/tokyo /etc/localtime
    else mv $E2E_DIR/tokyo $E2E_DIR/zone; fi
    wait" </dev/null 2>/dev/null
  grep -qx launched "$E2E_DIR/launches" 2>/dev/null ||
    { echo "    launches: '$(cat "$E2E_DIR/launches" 2>/dev/null)'"; return 1; }
}

run_cases "$@"
