#!/usr/bin/env bash
# The manual page the build writes lints clean, in UTF-8 and in ASCII (man under LC_ALL=C), and
# names the build's version; cmake --install puts the binary, the manual page, the bash completion
# and the documents where GNUInstallDirs says, and the completion completes.
set -u
SOURCE=$1 BUILD=$2 VERSION=$3
failed=0
fail() { echo "FAILED: $1"; failed=1; }
if command -v groff >/dev/null; then
  for device in utf8 ascii; do
    warnings=$(groff -ww -man -T$device -z "$BUILD/vorbelin.1" 2>&1)
    [ -z "$warnings" ] || fail "manual page warnings ($device): $warnings"
  done
elif [ "${CI:-}" = "true" ]; then
  fail "groff is required under CI"
else
  echo "SKIP: no groff, the manual page is not linted"
fi
grep -q "\"vorbelin $VERSION\"" "$BUILD/vorbelin.1" || fail "manual page does not name version $VERSION"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$BUILD" --prefix "$prefix" >/dev/null || fail "cmake --install"
[ -x "$prefix/bin/vorbelin" ] || fail "no bin/vorbelin"
[ -f "$prefix/share/man/man1/vorbelin.1" ] || fail "no share/man/man1/vorbelin.1"
for file in share/doc/vorbelin/README.md share/doc/vorbelin/CHANGELOG.md share/doc/vorbelin/examples/crontab; do
  [ -f "$prefix/$file" ] || fail "no $file"
done
completion=$prefix/share/bash-completion/completions/vorbelin
cmp -s "$completion" "$SOURCE/bash-completion/vorbelin" || fail "no $completion"
# The replies to a line typed up to its end: the first word a command, then the options, and the
# weekdays after -except= (in place of what follows the '=', where bash breaks words).
replies() {
  bash -c '. "$1"; compopt() { :; }; COMP_LINE=$2 COMP_POINT=${#2}; _vorbelin; echo "${COMPREPLY[*]}"' \
    replies "$completion" "$1"
}
[ "$(replies 'vorbelin mkdi')" = mkdir ] || fail "completion of the command: $(replies 'vorbelin mkdi')"
[ "$(replies 'vorbelin x /q -re')" = -repeat ] || fail "completion of an option: $(replies 'vorbelin x /q -re')"
[ "$(replies 'vorbelin x -except=mons')" = "monSat monSun" ] || fail "completion of -except=mons: $(replies 'vorbelin x -except=mons')"
[ "$(replies 'vorbelin x -except=Sat' | cut -d' ' -f1,7)" = "SatMon SatSun" ] ||
  fail "completion of -except=Sat: $(replies 'vorbelin x -except=Sat')"
[ $failed -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $failed
