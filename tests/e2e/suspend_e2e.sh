#!/usr/bin/env bash
# The real POSIX binary across a real suspend: a small Linux guest under QEMU starts several
# runs, puts itself to sleep for 30 s (ACPI S3, woken by its RTC alarm) and reports on its
# boot-time clock when each run launched. A kernel suspend stops the monotonic clock and every
# relative time-out on it, and nothing short of one shows how a wait behaves across it, whatever
# way the program waits. One boot and one suspend serve every case.
#
#   bash tests/e2e/suspend_e2e.sh [path/to/vorbelin] [CASE...]      (--list names the cases)
#   bash tests/e2e/suspend_e2e.sh [path/to/vorbelin] --boot LOG     only the boot, into LOG
#   bash tests/e2e/suspend_e2e.sh [path/to/vorbelin] --lateness     each run's lateness (ms)
#
# With VORBELIN_SUSPEND_LOG set (ctest: a boot made by --boot before the cases), the cases judge
# that boot's log instead of booting. Needs qemu-system-x86_64, a static busybox, and Debian's
# kernel in $VORBELIN_SUSPEND_KERNEL (tests/e2e/suspend_kernel.sh fetches it).
set -u
. "$(dirname "$0")/lib.sh"
KERNEL=${VORBELIN_SUSPEND_KERNEL:-/var/cache/vorbelin-suspend-kernel/vmlinuz}
BUSYBOX=$(command -v busybox || echo /bin/busybox)

# Timeline on the guest's boot-time clock, from the start of the runs (S): the guest sleeps from
# S+5 to about S+35. The runs due at S+20 and S+30 fall inside the sleep; the one due at S+42
# after it. A status screen's last 20 s are drawn every second, so the run with a long pass is
# due 30 s on, its first pass sleeping until then. Two seconds after the wake the wall clock is
# set six minutes on, over the target minute of a quiet time-of-day wait.
# A launch counts as on time within MARGIN_MS of the later of its due time and the wake: the
# faults this tells apart are a wait that slept through the suspend on a clock that stops in it
# (late by the whole sleep, 30 s) and one that only looks again at its next minute (up to 60 s);
# half the least of them leaves a guest without acceleration, on a machine whose two cores run
# thirteen jobs, its 5 s of lateness and more.
MARGIN_MS=15000
# How long the guest waits for launches after it woke: past the last due time (7 s after the
# wake) and its margin; a run late by the whole sleep shows as not launched (--lateness waits
# 45 s).
WAIT_AFTER_WAKE=30
QEMU_SECONDS=300

# --- The guest.

# The guest's /init: runs, sleep, results between markers on the serial console, power off.
write_init() {
  cat > "$1" << 'EOF'
#!/bin/sh
export PATH=/bin TERM=vt100
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mkdir -p /r
up() { read -r u _ < /proc/uptime; echo "$u"; }
mono() { awk '/^now at/ { print $3; exit }' /proc/timer_list 2>/dev/null || echo -; }
wait_after_wake=30
for word in $(cat /proc/cmdline); do
  case $word in vorbelin.wait=*) wait_after_wake=${word#vorbelin.wait=} ;; esac
done

# The wall clock is set to hh:mm:40, so that the next minute starts 20 s after the runs start,
# inside the sleep. Wall and boot-time clocks then keep their offset across the sleep.
now=$(date +%s)
wall=$((now - now % 60 + 100))
date -s "@$wall" > /dev/null
wall_up=$(up)
target=$(date -d "@$((wall + 20))" +%H:%M)
step_target=$(date -d "@$((wall + 300))" +%H:%M)

# NAME DELAY TERMINAL ARGUMENT...: a run launching "rec NAME", on the serial terminal given (a
# controlling terminal of a session of its own) or with none.
start() {
  name=$1 delay=$2 tty=$3
  shift 3
  echo "$(up) $delay" > "/r/$name.start"
  if [ "$tty" = - ]; then
    setsid vorbelin "rec $name" "$@" < /dev/null > /dev/null 2> "/r/$name.err" &
  else
    stty -F "$tty" rows 25 cols 80
    setsid -c vorbelin "rec $name" "$@" <> "$tty" >&0 2>&0 &
  fi
}
start quiet 20 - /TIME=20 /Q
start quiet_terminal 20 /dev/ttyS1 /TIME=20 /Q
start visible_terminal 30 /dev/ttyS2 /TIME=30 /TICK=50
start after_wake 42 - /TIME=42 /Q
start time_of_day 20 - "/TIME=$target" /Q
start clock_step 0 - "/TIME=$step_target" /Q
echo "$wall_up 20 $((wall + 20))" > /r/time_of_day.start

sleep 5
echo deep > /sys/power/mem_sleep 2> /dev/null
# An entry that fails at once (a wake-up event in flight) is tried once more, a second later:
# the runs due at S+20 still fall inside the sleep.
for attempt in 1 2; do
  echo 0 > /sys/class/rtc/rtc0/wakealarm
  echo +30 > /sys/class/rtc/rtc0/wakealarm
  mono_before=$(mono)
  before=$(up)
  echo mem > /sys/power/state
  status=$?
  after=$(up)
  mono_after=$(mono)
  [ "$status" = 0 ] && break
  failed_attempts=$attempt
  sleep 1
done

# Two seconds after the wake the wall clock is set six minutes on, over clock_step's target
# minute: it is due at the set.
sleep 2
step_up=$(up)
date -s "@$(($(date +%s) + 360))" > /dev/null
echo "$step_up 0 $((wall + 300 - 40))" > /r/clock_step.start

runs="quiet quiet_terminal visible_terminal after_wake time_of_day clock_step"
deadline=$(awk -v a="$after" -v w="$wait_after_wake" 'BEGIN { print a + w }')
while :; do
  missing=0
  for name in $runs; do [ -e "/r/$name" ] || missing=1; done
  [ $missing = 0 ] && break
  awk -v u="$(up)" -v d="$deadline" 'BEGIN { exit !(u >= d) }' && break
  sleep 0.1
done

# The firmware's last line has no end: the marker starts a line of its own.
echo
echo "=== vorbelin suspend results"
echo "slept $before $after $mono_before $mono_after $status"
for name in $runs; do
  read -r start delay target < "/r/$name.start"
  launch="- -"
  [ -e "/r/$name" ] && launch=$(cat "/r/$name")
  echo "run $name $start $delay $launch ${target:--}"
done
# Why a suspend failed is in the kernel's log.
[ -z "${failed_attempts:-}" ] || dmesg | tail -40 | sed 's/^/dmesg /'
echo "=== end"
poweroff -f
EOF
}

# The launched command: the boot-time clock (which counts the sleep) and the wall clock.
write_rec() {
  cat > "$1" << 'EOF'
#!/bin/sh
wall=$(date +%s)
read -r up _ < /proc/uptime
echo "$up $wall" > "/r/$1.tmp" && mv "/r/$1.tmp" "/r/$1"
EOF
}

# An initramfs in newc cpio: busybox, the program and the C library files it loads.
make_initramfs() {
  local root=$E2E_DIR/root applet lib
  mkdir -p "$root"/bin "$root"/proc "$root"/sys "$root"/dev "$root"/r
  cp "$BUSYBOX" "$root/bin/busybox"
  for applet in $("$BUSYBOX" --list); do
    [ "$applet" = busybox ] || ln -sf busybox "$root/bin/$applet"
  done
  cp "$BIN" "$root/bin/vorbelin"
  for lib in $(ldd "$BIN" | grep -o '/[^ ]*'); do
    mkdir -p "$root$(dirname "$lib")"
    cp -L "$lib" "$root$lib"
  done
  write_init "$root/init"
  write_rec "$root/bin/rec"
  chmod +x "$root/init" "$root/bin/rec"
  (cd "$root" && find . | "$BUSYBOX" cpio -o -H newc > "$E2E_DIR/initramfs.cpio" 2> /dev/null)
}

require_tools() {
  [ -x "$BIN" ] || skip_or_fail "no program at $PROGRAM"
  command -v qemu-system-x86_64 > /dev/null ||
    skip_or_fail "qemu-system-x86_64 is not installed (Debian package qemu-system-x86)"
  # A dynamic busybox would need its own libraries in the guest.
  "$BUSYBOX" true 2> /dev/null && ! ldd "$BUSYBOX" > /dev/null 2>&1 ||
    skip_or_fail "no static busybox (Debian package busybox-static)"
  [ -s "$KERNEL" ] ||
    skip_or_fail "no kernel at $KERNEL (bash tests/e2e/suspend_kernel.sh fetches it)"
}

# Boots the guest once and copies its serial console to a file; fails when the guest printed no
# results (printing the end of what it did print). QEMU is ended by its recorded id if it
# overruns.
boot() {
  local log=$1 wait=${2:-$WAIT_AFTER_WAKE} pid started=$SECONDS
  # No log of an earlier boot may stand for this one, even when this one is skipped.
  rm -f "$log"
  require_tools
  make_initramfs || { echo "FAIL: could not make the initramfs"; exit 1; }
  qemu-system-x86_64 -machine pc -accel tcg -m 256 -smp 1 -nographic -no-reboot -monitor none \
    -kernel "$KERNEL" -initrd "$E2E_DIR/initramfs.cpio" \
    -append "console=ttyS0 quiet panic=-1 vorbelin.wait=$wait" \
    -global PIIX4_PM.disable_s3=0 -rtc base=utc,clock=host -nic none \
    -serial "file:$E2E_DIR/console" -serial null -serial "file:$E2E_DIR/ttyS2" \
    < /dev/null > "$E2E_DIR/qemu.out" 2>&1 &
  pid=$!
  record_pid "$pid"
  # shellcheck disable=SC2016 # eval expands it at each look
  if ! wait_until "$QEMU_SECONDS" eval '! kill -0 "$pid" 2> /dev/null'; then
    kill -KILL "$pid" 2> /dev/null
    echo "qemu overran ${QEMU_SECONDS} s"
  fi
  wait "$pid" 2> /dev/null
  tr -d '\r' < "$E2E_DIR/console" > "$log.new" 2> /dev/null
  if ! grep -q '^=== end' "$log.new"; then
    echo "FAIL: the guest printed no results; qemu said:"
    sed 's/^/    /' "$E2E_DIR/qemu.out"
    echo "--- the end of its console:"
    tail -30 "$log.new" | sed 's/^/    /'
    exit 1
  fi
  mv "$log.new" "$log"
  echo "booted, slept and reported in $((SECONDS - started)) s"
}

# --- The results.

RESULTS=$E2E_DIR/results

# The lines between the markers, from the log of a boot made here or before the cases.
read_results() {
  local log=${VORBELIN_SUSPEND_LOG:-}
  if [ -z "$log" ]; then
    log=$E2E_DIR/console.log
    boot "$log"
  elif [ ! -s "$log" ]; then
    # The boot before the cases was skipped or failed: say why here too.
    require_tools
    echo "FAIL: no log of a boot at $log"
    exit 1
  fi
  sed -n '/=== vorbelin suspend results/,/^=== end/p' "$log" > "$RESULTS"
}

# Each run as: NAME DUE WAKE LAUNCH LATE_MS, times in seconds on the boot-time clock; LAUNCH and
# LATE_MS are "-" for a run that did not launch. LATE_MS counts from the later of the due time and
# the wake.
runs_table() {
  awk '
    $1 == "slept" { wake = $3 }
    $1 == "run" {
      due = $3 + $4
      if ($5 == "-") { print $2, due, wake, "-", "-"; next }
      from = due > wake ? due : wake
      printf "%s %.2f %.2f %.2f %d\n", $2, due, wake, $5, ($5 - from) * 1000
    }' "$RESULTS"
}
run_field() { runs_table | awk -v n="$1" -v f="$2" '$1 == n { print $f }'; }

# The guest really slept: the boot-time clock advanced by most of the 30 s, the monotonic one
# (which stops in a suspend) by a few seconds at most. Without that no case means anything.
slept() {
  local line
  line=$(awk '$1 == "slept"' "$RESULTS")
  # shellcheck disable=SC2086 # the fields of the line
  set -- $line
  if [ "${6:-1}" != 0 ]; then
    echo "    writing mem to /sys/power/state failed"
    return 1
  fi
  awk -v b="$2" -v a="$3" -v mb="$4" -v ma="$5" 'BEGIN {
    printf "    slept %.2f s on the boot-time clock", a - b
    if (mb != "-") printf ", %.2f s on the monotonic clock", (ma - mb) / 1e9
    print ""
    exit !(a - b >= 25 && (mb == "-" || (ma - mb) / 1e9 < 5))
  }'
}

# NAME: the run launched within the margin of the later of its due time and the wake.
on_time() {
  local row
  row=$(runs_table | awk -v n="$1" '$1 == n')
  # shellcheck disable=SC2086
  set -- $row
  if [ "$4" = - ]; then
    echo "    $1: due at $2 s, woke at $3 s, no launch by $WAIT_AFTER_WAKE s after the wake"
    return 1
  fi
  echo "    $1: due at $2 s, woke at $3 s, launched at $4 s ($5 ms late)"
  [ "$5" -le "$MARGIN_MS" ]
}

# NAME: no launch before its due time: on the boot-time clock for a countdown, the wall clock
# (whole seconds, read after the launch) for a time of day.
not_early() {
  awk -v n="$1" '$1 == "run" && $2 == n {
    if ($5 == "-") exit 0
    if ($7 != "-") {
      if ($6 < $7) { printf "    %s: launched at wall second %d, its target is %d\n", n, $6, $7; exit 1 }
      exit 0
    }
    if ($5 < $3 + $4) { printf "    %s: launched at %.2f s, due at %.2f s\n", n, $5, $3 + $4; exit 1 }
  }' "$RESULTS"
}

# Runs the named checks only when the guest slept; else the case fails once, saying so.
if_slept() {
  if slept; then
    return 0
  fi
  FAILED=$((FAILED + 1))
  echo "FAILED: the guest did not sleep as staged"
  return 1
}

# --- The cases.

# Quiet, without a terminal: due 15 s into the sleep, it launches on waking; due 7 s after the
# wake, it launches at its time, neither at the wake nor late.
case_quiet_countdown() {
  if_slept || return
  check "a quiet countdown due in the sleep launches on waking" on_time quiet
  check "a quiet countdown due in the sleep does not launch early" not_early quiet
  check "a quiet countdown due after the wake launches at its time" on_time after_wake
  check "a quiet countdown due after the wake does not launch at the wake" not_early after_wake
}

# With a controlling terminal the program waits watching the terminal for keys: quiet, and
# showing its screen with a pass of 50 s (/TIME=30 /TICK=50: one pass to the launch).
case_countdown_on_a_terminal() {
  if_slept || return
  check "a quiet countdown on a terminal launches on waking" on_time quiet_terminal
  check "a quiet countdown on a terminal does not launch early" not_early quiet_terminal
  check "a countdown showing its screen (/TICK=50) launches on waking" on_time visible_terminal
  check "a countdown showing its screen does not launch early" not_early visible_terminal
}

# A quiet wait for hh:mm whose minute starts inside the sleep.
case_time_of_day() {
  if_slept || return
  check "a quiet time-of-day wait launches on waking" on_time time_of_day
  check "a quiet time-of-day wait does not launch early" not_early time_of_day
}

# A quiet wait for hh:mm whose minute the wall clock is set over (after the wake): the system
# tells of the set, and the run launches then, not at its next look a minute on.
case_clock_set_over_the_target() {
  if_slept || return
  check "a set of the clock over the target launches at the set" on_time clock_step
  check "a set of the clock over the target does not launch early" not_early clock_step
}

# --- Modes other than the cases.

case ${1:-} in
  --boot)
    [ $# -eq 2 ] || { echo "usage: suspend_e2e.sh [PROGRAM] --boot LOG" >&2; exit 2; }
    boot "$2"
    exit 0
    ;;
  --lateness)
    # A benchmark's figures: the guest waits long enough to see a run late by the whole sleep.
    WAIT_AFTER_WAKE=45
    boot "$E2E_DIR/console.log" "$WAIT_AFTER_WAKE"
    sed -n '/=== vorbelin suspend results/,/^=== end/p' "$E2E_DIR/console.log" > "$RESULTS"
    slept
    echo "run due_s wake_s launch_s late_after_wake_ms"
    runs_table | awk '{ print $1, $2, $3, $4, $5 }'
    exit 0
    ;;
esac

# A case name mistyped is said before a minute of booting, not after.
for name in "$@"; do
  case_names | grep -qx -- "$name" || run_cases "$name"
done
read_results
run_cases "$@"
