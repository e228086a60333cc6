#!/usr/bin/env bash
# The Debian package: lintian finds no error in it, and the program and its manual page work
# from where it installs them. Under CI (root) it is installed with dpkg and removed again, unless
# a vorbelin is installed already.
set -u
SOURCE=$1 BINARY=$2 MANUAL=$3 VERSION=$4
. "$(dirname "$0")/lib.sh"
command -v dpkg-shlibdeps >/dev/null || skip_or_fail "dpkg-dev is not installed"
command -v lintian >/dev/null || skip_or_fail "lintian is not installed"

package=$(bash "$SOURCE/cmake/debian_package.sh" "$SOURCE" "$BINARY" "$MANUAL" "$VERSION" "$E2E_DIR")
check "package built" [ -f "$package" ]
no_lintian_errors() { ! lintian "$package" 2>&1 | grep '^E:'; }
check "lintian finds no error" no_lintian_errors
depends_on_libc() { dpkg-deb -f "$package" Depends | grep -q '^libc6 (>= '; }
check "dependencies computed from the binary" depends_on_libc

# The program from the package: a bad time is a one-line error with status 1.
program_runs() {
  local out
  out=$("$1" x /TIME=24:00 2>&1 </dev/null)
  [ $? -eq 1 ] && [ "$out" = "Error: invalid time given (24:00)" ]
}
manual_page_reads() { zcat "$1" | groff -man -Tutf8 2>/dev/null | grep -q "^VORBELIN(1) .* VORBELIN(1)$"; }
root=$E2E_DIR/root
dpkg-deb -x "$package" "$root"
check "the unpacked program runs" program_runs "$root/usr/bin/vorbelin"
check "the unpacked manual page reads" manual_page_reads "$root/usr/share/man/man1/vorbelin.1.gz"

# Not where a vorbelin is installed already: removing it would take the user's away.
if [ "${CI:-}" = "true" ] && [ "$(id -u)" = 0 ] && dpkg -s vorbelin >/dev/null 2>&1; then
  echo "SKIP: vorbelin is installed on this system, the package is not installed and removed"
elif [ "${CI:-}" = "true" ] && [ "$(id -u)" = 0 ]; then
  dpkg -i "$package" >/dev/null
  check "installed in /usr/bin" program_runs /usr/bin/vorbelin
  check "man finds the manual page" bash -c "[ \"\$(man -w vorbelin)\" = /usr/share/man/man1/vorbelin.1.gz ]"
  dpkg -r vorbelin >/dev/null
  check "removed cleanly" bash -c "[ ! -e /usr/bin/vorbelin ] && [ ! -e /usr/share/man/man1/vorbelin.1.gz ] && ! dpkg -s vorbelin >/dev/null 2>&1"
fi
finish
