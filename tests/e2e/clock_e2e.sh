#!/usr/bin/env bash
# The real POSIX binary on real daylight-saving nights: the C library's time zone rules, with
# the wall clock faked by libfaketime. libfaketime is trusted only this far: it moves the wall
# clock and the program's other clocks together and speeds up their sleeps by the rate each case
# names (at x600 a real second is ten faked minutes); the zone rules and every conversion are the
# C library's own. A launch reaches its command late by however long this machine takes, so a
# case judges the day, the zone and the part of the hour a launch comes in, with a margin of
# faked time wider than seconds of real delay and narrower than the fault it tells apart.
#
#   bash tests/e2e/clock_e2e.sh [path/to/vorbelin] [CASE...]    (--list names the cases)
set -u
. "$(dirname "$0")/lib.sh"
FAKETIME_LIB=$(find /usr/lib -name libfaketime.so.1 2>/dev/null | head -1)
[ -n "$FAKETIME_LIB" ] || skip_or_fail "libfaketime is not installed (Debian package faketime)"
[ -e /usr/share/zoneinfo/Europe/Berlin ] || skip_or_fail "no time zone data (Debian package tzdata)"

launches_made() { [ "$(wc -l < "$E2E_DIR/launches" 2>/dev/null || echo 0)" -ge "$1" ]; }
# Runs a daily launch in a zone from a faked start and rate ("@DATE TIME xRATE") until it has
# launched COUNT times or SECONDS of real time passed, with the options given; each launch
# appends the faked time it ran at (date's FORMAT) to the file launches.
# ZONE FAKED FORMAT COUNT SECONDS OPTION...
launches() {
  local zone=$1 faked=$2 format=$3 count=$4 seconds=$5 pid
  shift 5
  rm -f "$E2E_DIR/launches"
  TZ=$zone LD_PRELOAD=$FAKETIME_LIB FAKETIME=$faked FAKETIME_DONT_RESET=1 \
    setsid -w "$BIN" "date '+$format' >> $E2E_DIR/launches" /R /Q "$@" </dev/null 2>/dev/null &
  pid=$!
  record_pid "$pid"
  wait_until "$seconds" launches_made "$count"
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  tr '\n' ' ' < "$E2E_DIR/launches" 2>/dev/null
}
# The launches match an extended regular expression, whole: ZONE FAKED FORMAT COUNT SECONDS
# PATTERN OPTION...
launches_match() {
  local pattern=$6 got
  got=$(launches "$1" "$2" "$3" "$4" "$5" "${@:7}")
  [[ $got =~ ^$pattern$ ]] || { echo "    launches: '$got', expected /$pattern/"; return 1; }
}

# Autumn: 02:00 to 03:00 comes twice; 02:30 launches at its first coming only. At x600 the
# second coming is 10 s after the first; the first counts until 02:59 CEST (3 s of real delay).
case_autumn_night() {
  check "autumn night: one launch" launches_match Europe/Berlin "@2026-10-25 01:50:00 x600" \
    '%H:%M %Z' 2 16 '02:[3-5][0-9] CEST ' /TIME=02:30
}

# Spring: 02:00 becomes 03:00; the day's launch comes as the clock skips over 02:30. At x60, from
# half a minute before the skip, any minute before 03:30 (the skipped time read as 03:30, the
# fault) leaves 29 s of real delay.
case_spring_night() {
  check "spring night: launched as 02:30 is skipped" launches_match Europe/Berlin \
    "@2027-03-28 01:59:30 x60" '%H:%M %Z' 1 25 '03:[0-2][0-9] CEST ' /TIME=02:30
}

# A two-hour refresh from 01:40 on Sydney's spring night (02:00 becomes 03:00): the sleep ends
# at 03:30, 50 minutes on, not at the wall clock's 1 h 50 min (04:30). At x300 the launch may be
# 29 faked minutes (6 s) late.
case_long_refresh_on_a_spring_night() {
  check "a long refresh launches on time across a spring night" launches_match Australia/Sydney \
    "@2026-10-04 01:40:00 x300" '%H:%M %Z' 1 45 '03:[3-5][0-9] AEDT ' /TIME=03:30 /TICK=7200
}

# Apia crossed the date line: 29 December 2011 at UTC-10 was followed by the 31st at UTC+14. The
# 30th has no noon and launches nothing: noon on the 29th, then noon on the 31st. At x3600 a real
# second is a faked hour: the start leaves six of them before the first noon, and each launch may
# come until 17:59 (6 s late); a launch on the 30th's behalf at midnight or on 1 January fails.
case_a_date_the_zone_skips() {
  check "the skipped 30th launches nothing" launches_match Pacific/Apia \
    "@2011-12-29 06:00:00 x3600" '%d %H:%M' 2 60 '29 1[2-7]:[0-9]{2} 31 1[2-7]:[0-9]{2} ' \
    /TIME=12:00
}

# The zone swapped while a run waits for Tokyo's 17:05 (x60: a minute lasts a second), as a
# traveller's system does: Berlin's file for Tokyo's at /etc/localtime (in a mount namespace of
# the run's own), and the same with TZ naming a file. Within a minute the run plans Tokyo's 17:05,
# eight hours before Berlin's (480 s of real time): the only launch the minute of the run can
# hold, and the run ends as soon as it comes (a launched
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
      FAKETIME_DONT_RESET=1 timeout 60 setsid -w '$BIN' \
      \"echo launched >> $E2E_DIR/launches\" /TIME=17:05 /Q &
    run=\$!
    sleep 1
    if [ $zone_file = /etc/localtime ]; then mount --bind $E2E_DIR/tokyo /etc/localtime
    else mv $E2E_DIR/tokyo $E2E_DIR/zone; fi
    for _ in \$(seq 590); do [ -s $E2E_DIR/launches ] && break; sleep 0.1; done
    kill \$run 2>/dev/null
    wait" </dev/null 2>/dev/null
  grep -qx launched "$E2E_DIR/launches" 2>/dev/null ||
    { echo "    launches: '$(cat "$E2E_DIR/launches" 2>/dev/null)'"; return 1; }
}

run_cases "$@"
