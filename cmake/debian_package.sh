#!/usr/bin/env bash
# A Debian package of the POSIX program: /usr/bin/vorbelin, its manual page and bash completion,
# the copyright file, the changelog, the README and examples where Debian keeps them, and the
# dependencies its binary needs.
# Usage: debian_package.sh SOURCE_DIR POSIX_BINARY MANUAL_PAGE VERSION OUTPUT_DIR
# Writes OUTPUT_DIR/vorbelin_VERSION_ARCH.deb and prints its path; the same inputs and
# SOURCE_DATE_EPOCH give the same bytes.
#
#        debian_package.sh --configure SOURCE_DIR BUILD_DIR GENERATOR [CMAKE_OPTION...]
# Configures BUILD_DIR to build the program as the package has it (the release target builds it
# there): with Debian's build flags.
set -eu
export LC_ALL=C

if [ "${1:-}" = "--configure" ]; then
  [ $# -ge 4 ] || { echo "usage: debian_package.sh --configure SOURCE_DIR BUILD_DIR GENERATOR [CMAKE_OPTION...]" >&2; exit 1; }
  source=$2 build=$3 generator=$4
  shift 4
  command -v dpkg-buildflags >/dev/null || { echo "debian_package.sh: dpkg-buildflags is needed (dpkg-dev)" >&2; exit 1; }
  # Every hardening feature unless the packager chose; a flag the packager set in the
  # environment is used as it stands, the others are dpkg-buildflags' (which reads the
  # DEB_*FLAGS_APPEND and the like), as Debian's own helpers do.
  export DEB_BUILD_MAINT_OPTIONS=${DEB_BUILD_MAINT_OPTIONS-hardening=+all}
  # Asked in the build folder, so that its map of the folder is the same from wherever this runs.
  mkdir -p "$build"
  for flag in CPPFLAGS CXXFLAGS LDFLAGS; do
    [ -n "${!flag+set}" ] || export "$flag=$(cd "$build" && dpkg-buildflags --get "$flag")"
  done
  # The flags alone decide the optimisation (build type None), with assertions off as in the
  # project's release builds; CMake reads no CPPFLAGS, so they go with the compiler's. The
  # project's own prefix maps come after them on each command line and win.
  exec cmake -S "$source" -B "$build" -G "$generator" -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_CXX_FLAGS="-DNDEBUG $CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
    -DVORBELIN_TESTS=OFF "$@"
fi

source=$1 binary=$2 manual=$3 version=$4 output=$5
umask 022
for tool in dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "debian_package.sh: $tool is needed (dpkg-dev)" >&2; exit 1; }
done
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
doc=$root/usr/share/doc/vorbelin
completions=$root/usr/share/bash-completion/completions
mkdir -p "$root/DEBIAN" "$root/usr/bin" "$root/usr/share/man/man1" "$completions" "$doc/examples"

install -m 0755 "$binary" "$root/usr/bin/vorbelin"
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$root/usr/bin/vorbelin"
gzip -9n < "$manual" > "$root/usr/share/man/man1/vorbelin.1.gz"
install -m 0644 "$source/bash-completion/vorbelin" "$completions/vorbelin"
# The README the help's support line names, and the examples, as Debian keeps them.
gzip -9n < "$source/README.md" > "$doc/README.md.gz"
install -m 0644 "$source"/docs/examples/* "$doc/examples/"

cat > "$doc/copyright" <<EOF
Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: vorbelin

Files: *
Copyright: 2026 The Vorbelin authors
License: MIT

License: MIT
$(sed -e 's/^$/./' -e 's/^/ /' "$source/LICENSE")
EOF

# A native package keeps its changelog, in Debian's format, as changelog.gz.
maintainer="The Vorbelin authors <vorbelin@users.noreply.invalid>"
# Its date is the last commit's, or that of the files of a source tarball (the commit's too).
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$source" log -1 --format=%ct 2>/dev/null || stat -c %Y "$source/CMakeLists.txt")
fi
export SOURCE_DATE_EPOCH
# Every section of CHANGELOG.md, newest first, its entries folded to Debian's width: the top one
# is this version, dated by the commit (UNRELEASED while CHANGELOG.md says so), each older one by
# its own day.
trailer=""
while IFS= read -r line; do
  case $line in
    "## "*)
      [ -z "$trailer" ] || printf '\n%s\n\n' "$trailer"
      heading=${line#\#\# } day=${line#*(}
      day=${day%)}
      if [ -z "$trailer" ]; then
        distribution=unstable
        [ "$day" = unreleased ] && distribution=UNRELEASED
        echo "vorbelin ($version) $distribution; urgency=medium"
        trailer=" -- $maintainer  $(date -R -u -d "@$SOURCE_DATE_EPOCH")"
      else
        echo "vorbelin (${heading%% *}) unstable; urgency=medium"
        trailer=" -- $maintainer  $(date -R -u -d "$day 12:00")"
      fi
      echo ;;
    *) printf '%s\n' "$line" | fold -s -w 72 | sed -e 's/ *$//' -e '1s/^/  * /' -e '2,$s/^/    /' ;;
  esac
done < <(awk '/^## /{ if (entry) print entry; entry = ""; print; next }
              /^- /{ if (entry) print entry; entry = substr($0, 3); next }
              /^ /{ sub(/^ +/, ""); entry = entry " " $0 }
              END { if (entry) print entry }' "$source/CHANGELOG.md") > "$work/changelog"
printf '\n%s\n' "$trailer" >> "$work/changelog"
gzip -9n < "$work/changelog" > "$doc/changelog.gz"


# dpkg-shlibdeps reads the package's name from a control file of the source's shape.
mkdir -p "$work/debian"
printf 'Source: vorbelin\n\nPackage: vorbelin\nArchitecture: any\n' > "$work/debian/control"
# Its warnings (a library linked for nothing, say) go to standard error, to be seen.
depends=$(cd "$work" && dpkg-shlibdeps -O "root/usr/bin/vorbelin" | sed -n 's/^shlibs:Depends=//p')

cat > "$root/DEBIAN/control" <<EOF
Package: vorbelin
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --apparent-size --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Section: utils
Priority: optional
Description: waits, then launches a program
 Vorbelin counts down a delay (seconds, or hours, minutes and seconds) or waits
 for a time of day, then launches a command through the shell, once, after
 every interval, or every day, skipping named weekdays. While it waits it shows
 a live status screen in the terminal; ESC or Ctrl-C stops it.
EOF
(cd "$root" && find usr -type f -exec md5sum {} + | sort -k2) > "$root/DEBIAN/md5sums"

mkdir -p "$output"
package=$output/vorbelin_${version}_${arch}.deb
find "$root" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >/dev/null
echo "$package"
