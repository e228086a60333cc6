#!/bin/sh
# One frame of a countdown's status screen, for watch to redraw beside vorbelin in the
# benchmark: the same rows, colours and changing fields. Usage: peer_screen.sh START DUE COMMAND
# (START and DUE in seconds since the epoch).
start=$1 due=$2 command=$3
version=$(sed -n 's/^project(vorbelin VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
now=$(date +%s)
left=$((due - now)) delay=$((due - start))
second=$(date +%S)
# The title bar's background follows the second: blue, green, cyan, red, magenta, brown, grey;
# its bright white text is bold white, the nearest that watch shows.
set -- 44 42 46 41 45 43 47
shift $(( ${second#0} % 7 ))
bar=$1
ordinal() { case $1 in 1|21|31) echo st;; 2|22) echo nd;; 3|23) echo rd;; *) echo th;; esac; }
date_line() {
  d=$(date -u -d "@$1" +%-d)
  printf '%s%s %s\n' "$(date -u -d "@$1" +'%A %d')" "$(ordinal "$d")" "$(date -u -d "@$1" +'%B %Y')"
}
clock() { date -d "@$1" +%H:%M:%S; }
spin=$(( (now - start) / 5 % 4 ))
# shellcheck disable=SC1003 # the spinner's fourth glyph is a backslash
set -- '│' / - '\'
shift $spin
printf '\033[1;37;%sm%-80s\033[0m\n' "$bar" " Vorbelin $version - waits, then launches a program or internal command"
printf '\n■ Waiting to launch: "%s"\n\n' "$command"
printf '■ Launching the command ONCE in %ih %im %is (%s seconds)\n' $((delay / 3600)) $((delay % 3600 / 60)) $((delay % 60)) "$delay"
printf '\033[91m  Hold down ESC for 5 seconds to stop\033[0m\n\n'
printf '■ Updating every 5 second(s)\n■ Launched 0 times so far\n\n'
printf '■ Running since:       %s\n' "$(date_line "$start")"
printf '■ At:                  %s hrs\n' "$(clock "$start")"
printf '■ Current date is:     %s\n' "$(date_line "$now")"
printf '■ Current time is now: %s hrs\n' "$(clock "$now")"
printf '■ Launching at:        %s hrs\n' "$(clock "$due")"
printf '\033[94m■ Time left:           %02d:%02d:%02d (%s seconds remaing)... \033[0m%s\n' \
  $((left / 3600)) $((left % 3600 / 60)) $((left % 60)) "$left" "$1"
