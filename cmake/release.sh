#!/usr/bin/env bash
# The release archives, each byte for byte the same from the same commit: the sources
# (git archive), a zip for Windows (vorbelin.exe stripped, README.txt written for Windows users
# and the licence, with CR LF line ends), a tarball of the POSIX binary named for its system and
# processor, with an install note, and a Debian package; their SHA-256 sums in SHA256SUMS.
# The output folder is replaced whole, so it holds this release's files and no others.
# Usage: release.sh [--check-changelog] SOURCE_DIR POSIX_BINARY WINDOWS_EXE MANUAL_PAGE VERSION
#        SYSTEM-PROCESSOR OUTPUT_DIR
set -euo pipefail
check_changelog=0
if [ "${1:-}" = "--check-changelog" ]; then
  check_changelog=1
  shift
fi
[ $# -eq 7 ] || { echo "usage: release.sh [--check-changelog] SOURCE_DIR POSIX_BINARY WINDOWS_EXE MANUAL_PAGE VERSION SYSTEM-PROCESSOR OUTPUT_DIR" >&2; exit 1; }
source=$1 posix=$2 windows=$3 manual=$4 version=$5 platform=$6 output=$7
fail() { echo "release: $1" >&2; exit 1; }

# Sorted names, modes and times that do not follow the caller's locale, umask or zone.
export LC_ALL=C TZ=UTC
umask 022
for need in "x86_64-w64-mingw32-strip:binutils-mingw-w64-x86-64" "strip:binutils" "objdump:binutils" \
            "zip:zip" "dpkg-deb:dpkg" "dpkg-shlibdeps:dpkg-dev" "sha256sum:coreutils"; do
  command -v "${need%%:*}" >/dev/null || fail "${need%%:*} not found (Debian: ${need#*:})"
done
for file in "$posix" "$windows" "$manual"; do
  [ -f "$file" ] || fail "$file not found"
done

# Every time in the archives is the last commit's, or that of the files of a source tarball
# (git archive gives them the commit's time).
in_git() { [ "$(git -C "$source" rev-parse --show-toplevel 2>/dev/null)" = "$(cd "$source" && pwd -P)" ]; }
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  if in_git; then
    SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct)
  else
    SOURCE_DATE_EPOCH=$(stat -c %Y "$source/CMakeLists.txt")
  fi
fi
export SOURCE_DATE_EPOCH

# The packages' changelog is the top section of CHANGELOG.md: it must be this version's.
heading=$(grep -m1 '^## ' "$source/CHANGELOG.md" || true)
if [ $check_changelog -eq 1 ]; then
  case $heading in
    "## $version" | "## $version ("*) ;;
    *) fail "CHANGELOG.md's top section is \"${heading#\#\# }\", not $version: give $version a section of its own" ;;
  esac
  case $heading in
    *"(unreleased)") echo "release: $version is marked unreleased in CHANGELOG.md" ;;
  esac
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dist=$work/dist
mkdir "$dist"
# A folder's files, fixed modes and times, in sorted order.
settle() { chmod -R u=rwX,go=rX "$1" && find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +; }

if in_git; then
  git -C "$source" archive --format=tar --prefix="vorbelin-$version/" HEAD |
    gzip -9n > "$dist/vorbelin-$version.tar.gz"
  if [ -n "$(git -C "$source" status --porcelain --untracked-files=no)" ]; then
    echo "release: the work tree has uncommitted changes: the programs were built with them," \
         "the source tarball holds the commit $(git -C "$source" rev-parse --short HEAD) without them"
  fi
else
  echo "release: $source is not a git work tree: no source tarball"
fi

name=vorbelin-$version-windows
mkdir "$work/$name"
cp "$windows" "$work/$name/vorbelin.exe"
# No debug sections: a user's program, a quarter of the size.
x86_64-w64-mingw32-strip "$work/$name/vorbelin.exe"
sed 's/$/\r/' "$source/docs/README-windows.txt" > "$work/$name/README.txt"
sed 's/$/\r/' "$source/LICENSE" > "$work/$name/LICENSE.txt"
sed 's/$/\r/' "$source/docs/examples/vorbelin-task.xml" > "$work/$name/vorbelin-task.xml"
settle "$work/$name"
# -X: no owners or access times in the archive.
(cd "$work" && zip -X -D -q -9 "$dist/$name.zip" "$name"/LICENSE.txt "$name"/README.txt "$name"/vorbelin-task.xml \
   "$name"/vorbelin.exe)

name=vorbelin-$version-$platform
mkdir "$work/$name"
cp "$posix" "$work/$name/vorbelin"
# As in the Debian package: no symbols, no comment or note sections.
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$work/$name/vorbelin"
cp "$manual" "$work/$name/vorbelin.1"
cp "$source/README.md" "$source/LICENSE" "$work/$name/"
glibc=$(objdump -T "$work/$name/vorbelin" | grep -o 'GLIBC_[0-9.]*' | sort -V | tail -1 || true)
{
  echo "vorbelin $version, built for ${platform/-/ }${glibc:+ (it needs the GNU C library ${glibc#GLIBC_} or later)}"
  echo "and ncurses' terminfo library (libtinfo.so.6; Debian and Ubuntu: libtinfo6)."
  echo
  echo "Run it where it is:    ./vorbelin \"echo launched\" /time=5"
  echo "Install it:            sudo install -D -m 755 vorbelin /usr/local/bin/vorbelin"
  echo "                       sudo install -D -m 644 vorbelin.1 /usr/local/share/man/man1/vorbelin.1"
  echo "Remove it:             sudo rm /usr/local/bin/vorbelin /usr/local/share/man/man1/vorbelin.1"
  echo
  echo "man ./vorbelin.1 tells how to use it. README.md's build commands are for the sources,"
  echo "vorbelin-$version.tar.gz."
} > "$work/$name/INSTALL.txt"
settle "$work/$name"
tar --sort=name --owner=0 --group=0 --numeric-owner --format=gnu -C "$work" -cf - "$name" |
  gzip -9n > "$dist/$name.tar.gz"

bash "$source/cmake/debian_package.sh" "$source" "$posix" "$manual" "$version" "$dist" >/dev/null

(cd "$dist" && sha256sum vorbelin* > SHA256SUMS)
mkdir -p "$(dirname "$output")"
rm -rf "$output"
mv "$dist" "$output"
ls -l "$output"
