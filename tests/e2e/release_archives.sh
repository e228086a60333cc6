#!/usr/bin/env bash
# The release archives: two packings of the same programs, a second apart, under another umask
# and with the inputs' times changed, give the same bytes; the output folder holds this
# release's archives, each under its name, and SHA256SUMS, which checks them all, and nothing
# that was there before.
# Usage: release_archives.sh SOURCE_DIR POSIX_BINARY WINDOWS_EXE MANUAL_PAGE VERSION SYSTEM-PROCESSOR
set -u
SOURCE=$1 POSIX=$2 WINDOWS=$3 MANUAL=$4 VERSION=$5 PLATFORM=$6
. "$(dirname "$0")/lib.sh"
[ -n "$WINDOWS" ] && [ -f "$WINDOWS" ] || skip_or_fail "vorbelin.exe was not built"
for tool in zip dpkg-shlibdeps x86_64-w64-mingw32-strip; do
  command -v "$tool" >/dev/null || skip_or_fail "$tool is not installed"
done

in=$E2E_DIR/in
mkdir "$in"
cp "$POSIX" "$WINDOWS" "$MANUAL" "$in/"
pack() {
  (
    umask "$1"
    touch -d "$2" "$in"/*
    bash "$SOURCE/cmake/release.sh" "$SOURCE" "$in/$(basename "$POSIX")" "$in/$(basename "$WINDOWS")" \
      "$in/$(basename "$MANUAL")" "$VERSION" "$PLATFORM" "$E2E_DIR/$3" >/dev/null
  )
}
pack 022 "2001-02-03 04:05:06" one
mkdir "$E2E_DIR/two"
touch "$E2E_DIR/two/vorbelin-0.9.0-windows.zip"
sleep 1
pack 077 now two
check "packed twice, the same files and bytes" diff -r "$E2E_DIR/one" "$E2E_DIR/two"

expected() {
  printf '%s\n' SHA256SUMS "vorbelin-$VERSION-$PLATFORM.tar.gz" "vorbelin-$VERSION-windows.zip" \
    "vorbelin_${VERSION}_$(dpkg --print-architecture).deb"
  git -C "$SOURCE" rev-parse -q --verify HEAD >/dev/null 2>&1 && echo "vorbelin-$VERSION.tar.gz"
}
# shellcheck disable=SC2012 # names the release writes, plain words
check "this release's archives and SHA256SUMS, nothing older" \
  diff <(expected | sort) <(ls "$E2E_DIR/two" | sort)
sums_check_all() {
  (cd "$E2E_DIR/two" && sha256sum --quiet -c SHA256SUMS) &&
    [ "$(cut -d' ' -f3 "$E2E_DIR/two/SHA256SUMS" | sort)" = \
      "$(find "$E2E_DIR/two" -mindepth 1 -maxdepth 1 ! -name SHA256SUMS -printf '%f\n' | sort)" ]
}
check "SHA256SUMS checks every archive" sums_check_all
finish
