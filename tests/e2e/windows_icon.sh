#!/usr/bin/env bash
# vorbelin.exe carries icon group 101, language English (United Kingdom), with a 32x32 and a
# 16x16 image of 16 colours, and a version resource naming the build's version.
set -u
EXE=$1 VERSION=$2
skip_or_fail() {
  [ "${CI:-}" = "true" ] && { echo "FAIL: $1 (required under CI)"; exit 1; }
  echo "SKIP: $1"
  exit 77
}
command -v wrestool >/dev/null || skip_or_fail "wrestool (icoutils) is not installed"
[ -f "$EXE" ] || skip_or_fail "no vorbelin.exe (mingw-w64 not installed?)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wrestool -l "$EXE" | grep -q -- '--type=14 --name=101 --language=2057' || { echo "FAIL: no icon group 101 (2057)"; exit 1; }
wrestool -x --type=14 --name=101 "$EXE" > "$work/icon.ico" || { echo "FAIL: icon not extractable"; exit 1; }
sizes=$(icotool -l "$work/icon.ico")
echo "$sizes"
echo "$sizes" | grep -q -- '--width=32 --height=32 --bit-depth=4' || { echo "FAIL: no 32x32 16-colour image"; exit 1; }
echo "$sizes" | grep -q -- '--width=16 --height=16 --bit-depth=4' || { echo "FAIL: no 16x16 16-colour image"; exit 1; }
# The version resource's texts are UTF-16: its file and product versions are the build's.
texts=$(wrestool -x --raw --type=16 "$EXE" | strings -el | paste -sd '|')
case "|$texts|" in
  *"|FileVersion|$VERSION|"*"|ProductVersion|$VERSION|"*) ;;
  *) echo "FAIL: the version resource does not name $VERSION: $texts"; exit 1 ;;
esac
echo "1 passed, 0 failed"
