#!/usr/bin/env bash
# Builds the Debian package from a build tree, unpacks it into a scratch root
# and checks what a desktop and a package manager see of it.
#   check_package.sh <build folder>
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null
deb=$(ls "$scratch"/out/morvel_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | sort >"$scratch/contents"
expected=(
  /usr/bin/morvel
  /usr/bin/kestrix-sim
  /usr/share/applications/org.morvel.Morvel.desktop
  /usr/share/metainfo/org.morvel.Morvel.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/org.morvel.Morvel.svg
  /usr/share/icons/hicolor/48x48/apps/org.morvel.Morvel.png
  /usr/share/man/man1/morvel.1.gz
  /usr/share/man/man1/kestrix-sim.1.gz
)
for path in "${expected[@]}"; do
  grep -qx "$path" "$scratch/contents" || { echo "missing from the package: $path"; exit 1; }
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' ||
  { echo "the package does not depend on Qt Widgets"; exit 1; }

root=$scratch/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.morvel.Morvel.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.morvel.Morvel.metainfo.xml" >/dev/null
for page in morvel kestrix-sim; do
  man -l --warnings "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null | (! grep .) ||
    { echo "$page.1 has warnings"; exit 1; }
done
QT_QPA_PLATFORM=offscreen "$root/usr/bin/morvel" --version | grep -qx "Morvel [0-9.]*"
"$root/usr/bin/kestrix-sim" --help | grep -q -- "--state"
echo "package ok: $(basename "$deb")"
