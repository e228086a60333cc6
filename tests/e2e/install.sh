#!/usr/bin/env bash
# The manual page the build writes lints clean, in UTF-8 and in ASCII (man under LC_ALL=C), and
# names the build's version; cmake --install puts the binary and the manual page where they belong.
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
[ $failed -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $failed
