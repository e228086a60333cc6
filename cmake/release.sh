#!/usr/bin/env bash
# Release archives in dist/: a zip for Windows (vorbelin.exe stripped, README.txt written for
# Windows users with CR LF line ends, LICENSE), a tarball for POSIX (the binary, the manual page, README.md, LICENSE) and, where
# dpkg-dev is installed, a Debian package, each with its SHA-256 checksum. Usage: release.sh SOURCE_DIR POSIX_BINARY WINDOWS_EXE VERSION
set -eu
source=$1 posix=$2 windows=$3 version=$4
dist=$source/dist
mkdir -p "$dist"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -f "$windows" ]; then
  mkdir "$work/vorbelin-$version-windows"
  cp "$windows" "$work/vorbelin-$version-windows/"
  # No debug sections: a user's program, a quarter of the size.
  if command -v x86_64-w64-mingw32-strip >/dev/null; then
    x86_64-w64-mingw32-strip "$work/vorbelin-$version-windows/$(basename "$windows")"
  else
    echo "no x86_64-w64-mingw32-strip: vorbelin.exe keeps its debug sections"
  fi
  sed 's/$/\r/' "$source/docs/README-windows.txt" > "$work/vorbelin-$version-windows/README.txt"
  sed 's/$/\r/' "$source/LICENSE" > "$work/vorbelin-$version-windows/LICENSE.txt"
  (cd "$work" && cmake -E tar cf "$dist/vorbelin-$version-windows.zip" --format=zip "vorbelin-$version-windows")
fi
mkdir "$work/vorbelin-$version-posix"
cp "$posix" "$source/docs/vorbelin.1" "$source/README.md" "$source/LICENSE" "$work/vorbelin-$version-posix/"
# As in the Debian package: no symbols, no comment or note sections.
strip --remove-section=.comment --remove-section=.note --strip-unneeded "$work/vorbelin-$version-posix/$(basename "$posix")"
(cd "$work" && tar czf "$dist/vorbelin-$version-posix.tar.gz" "vorbelin-$version-posix")
if command -v dpkg-shlibdeps >/dev/null; then
  bash "$source/cmake/debian_package.sh" "$source" "$posix" "$version" "$dist" >/dev/null
else
  echo "no dpkg-dev: no Debian package"
fi
cd "$dist"
for archive in vorbelin-$version-*.zip vorbelin-$version-*.tar.gz vorbelin_${version}_*.deb; do
  [ -f "$archive" ] && sha256sum "$archive" > "$archive.sha256"
done
ls -l "$dist"
