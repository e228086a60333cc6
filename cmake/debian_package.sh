#!/usr/bin/env bash
# A Debian package of the POSIX program: /usr/bin/vorbelin, its manual page, the copyright file
# and the changelog where Debian keeps them, and the dependencies its binary needs.
# Usage: debian_package.sh SOURCE_DIR POSIX_BINARY MANUAL_PAGE VERSION OUTPUT_DIR
# Writes OUTPUT_DIR/vorbelin_VERSION_ARCH.deb and prints its path; the same inputs and
# SOURCE_DATE_EPOCH give the same bytes.
set -eu
source=$1 binary=$2 manual=$3 version=$4 output=$5
export LC_ALL=C
umask 022
for tool in dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "debian_package.sh: $tool is needed (dpkg-dev)" >&2; exit 1; }
done
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
doc=$root/usr/share/doc/vorbelin
mkdir -p "$root/DEBIAN" "$root/usr/bin" "$root/usr/share/man/man1" "$doc"

install -m 0755 "$binary" "$root/usr/bin/vorbelin"
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$root/usr/bin/vorbelin"
gzip -9n < "$manual" > "$root/usr/share/man/man1/vorbelin.1.gz"

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
date=$(date -R -u -d "@$SOURCE_DATE_EPOCH")
# A version CHANGELOG.md still calls unreleased goes to Debian's UNRELEASED.
distribution=unstable
grep -m1 '^## ' "$source/CHANGELOG.md" | grep -q '(unreleased)$' && distribution=UNRELEASED
{
  echo "vorbelin ($version) $distribution; urgency=medium"
  echo
  # The latest section's entries, each folded to Debian's width.
  sed -n '/^## /,$p' "$source/CHANGELOG.md" | sed -n '2,/^## /p' | sed '/^## /d;/^$/d' |
    awk '/^- /{ if (entry) print entry; entry = substr($0, 3); next } { sub(/^ +/, ""); entry = entry " " $0 }
         END { if (entry) print entry }' |
    while IFS= read -r entry; do
      printf '%s\n' "$entry" | fold -s -w 72 | sed -e 's/ *$//' -e '1s/^/  * /' -e '2,$s/^/    /'
    done
  echo
  echo " -- $maintainer  $date"
} | gzip -9n > "$doc/changelog.gz"

# dpkg-shlibdeps reads the package's name from a control file of the source's shape.
mkdir -p "$work/debian"
printf 'Source: vorbelin\n\nPackage: vorbelin\nArchitecture: any\n' > "$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O "root/usr/bin/vorbelin" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')

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
