#!/usr/bin/env bash
# Fetches the kernel that the suspend test boots: the vmlinuz of the concrete package Debian's
# linux-image-amd64 depends on, unpacked into a cache folder, never installed on this machine.
#
#   bash tests/e2e/suspend_kernel.sh [DIR]    (default /var/cache/vorbelin-suspend-kernel)
#
# Leaves DIR/vmlinuz and DIR/package (the package's name and version); a kernel already there
# from the same package is kept.
set -euo pipefail
dir=${1:-/var/cache/vorbelin-suspend-kernel}

# awk reads to the end: a reader that left early would fail the pipeline (pipefail).
package=$(apt-cache depends linux-image-amd64 2>/dev/null |
  awk '$1 == "Depends:" && $2 ~ /^linux-image-/ && !found { print $2; found = 1 }')
if [ -z "$package" ]; then
  echo "suspend_kernel: apt knows no linux-image-amd64 (apt-get update first?)" >&2
  exit 1
fi
version=$(apt-cache show "$package" | awk '$1 == "Version:" && !found { print $2; found = 1 }')
if [ -s "$dir/vmlinuz" ] && [ "$(cat "$dir/package" 2>/dev/null)" = "$package $version" ]; then
  echo "suspend_kernel: $package $version already in $dir"
  exit 0
fi

mkdir -p "$dir"
work=$(mktemp -d "$dir/fetch.XXXXXX")
trap 'rm -rf "$work"' EXIT
# apt's download user must be able to write the folder, or apt falls back to root with a warning.
chown _apt "$work" 2>/dev/null || true
(cd "$work" && apt-get download "$package=$version")
dpkg-deb -x "$work"/*.deb "$work/tree"
cp "$work"/tree/boot/vmlinuz-* "$dir/vmlinuz.new"
mv "$dir/vmlinuz.new" "$dir/vmlinuz"
echo "$package $version" > "$dir/package"
echo "suspend_kernel: $package $version in $dir/vmlinuz"
