#!/usr/bin/env bash
# Builds Morvel as its package is built (release, hardened, stripped), makes
# the .deb, and checks what a package manager, a desktop, a user without a
# display and a user of the simulator find in it.
#   check_package.sh <source folder> <package build folder>
# The build folder is kept between runs, so a rerun rebuilds only what changed.
set -euo pipefail
source=$1
build=$2
scratch=$(mktemp -d)
cleanup() {
  if [ -n "${SIM_PID:-}" ]; then
    kill "$SIM_PID" 2>/dev/null || true
    wait "$SIM_PID" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "$*" >&2
  exit 1
}

cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DMORVEL_BUILD_TESTS=OFF -DMORVEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" >"$scratch/build.log" || { cat "$scratch/build.log"; exit 1; }
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null
deb=$(ls "$scratch"/out/morvel_*.deb)

lintian --fail-on error,warning "$deb" >"$scratch/lintian" 2>&1 ||
  fail "lintian: $(grep -v 'root privileges' "$scratch/lintian")"
# A CMake list in the description shows as lines starting with ";".
! grep -q '^ *;' <<<"$(dpkg-deb -f "$deb" Description)" || fail "the description is a CMake list"

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | sort >"$scratch/contents"
expected=(
  /usr/bin/morvel
  /usr/bin/morvelctl
  /usr/bin/kestrix-sim
  /usr/share/applications/org.morvel.Morvel.desktop
  /usr/share/metainfo/org.morvel.Morvel.metainfo.xml
  /usr/share/icons/hicolor/scalable/apps/org.morvel.Morvel.svg
  /usr/share/icons/hicolor/48x48/apps/org.morvel.Morvel.png
  /usr/share/man/man1/morvel.1.gz
  /usr/share/man/man1/morvelctl.1.gz
  /usr/share/man/man1/kestrix-sim.1.gz
  /usr/share/doc/morvel/copyright
  /usr/share/doc/morvel/changelog.gz
  /usr/share/morvel/sample-state.json
)
for path in "${expected[@]}"; do
  grep -qx "$path" "$scratch/contents" || fail "missing from the package: $path"
done
[[ "$(dpkg-deb -f "$deb" Depends)" == *libqt6widgets6* ]] || fail "no dependency on Qt Widgets"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/org.morvel.Morvel.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.morvel.Morvel.metainfo.xml" >/dev/null
for page in morvel morvelctl kestrix-sim; do
  man -l --warnings "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null | (! grep .) ||
    fail "$page.1 has warnings"
done

# What each installed program must show of the hardening: what, readelf
# option, pattern.
hardening=(
  "BIND_NOW|-d|BIND_NOW"
  "RELRO|-l|GNU_RELRO"
  "PIE|-d|FLAGS_1.*PIE"
  "a fortified call|--dyn-syms|__[a-z_]+_chk"
)
for program in morvel morvelctl kestrix-sim; do
  elf=$root/usr/bin/$program
  for check in "${hardening[@]}"; do
    IFS='|' read -r what option pattern <<<"$check"
    grep -Eq "$pattern" <<<"$(readelf --wide "$option" "$elf")" || fail "$program lacks $what"
  done
  ! grep -Eq '\.symtab|\.debug_' <<<"$(readelf --wide -S "$elf")" || fail "$program is not stripped"
done

# The command line runs where Qt is not installed: it loads no Qt library.
ldd "$root/usr/bin/morvelctl" >"$scratch/ldd" || fail "ldd morvelctl: $(cat "$scratch/ldd")"
! grep -qi 'qt' "$scratch/ldd" || fail "morvelctl loads Qt: $(grep -i qt "$scratch/ldd")"

# --help and --version on a machine without a display or session bus:
# program, option, what standard output starts with.
version=$(dpkg-deb -f "$deb" Version)
answers=(
  "morvel|--help|Usage: "
  "morvel|--version|Morvel $version"
  "morvelctl|--help|Usage: morvelctl"
  "morvelctl|--version|morvelctl $version"
)
for answer in "${answers[@]}"; do
  IFS='|' read -r program option start <<<"$answer"
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u DBUS_SESSION_BUS_ADDRESS \
    "$root/usr/bin/$program" "$option" >"$scratch/answer" 2>&1 || fail "$program $option fails"
  [[ "$(cat "$scratch/answer")" == "$start"* ]] ||
    fail "$program $option: $(cat "$scratch/answer")"
done

# The simulator started without --state serves the sample state it was
# installed with; gammu reads its first phonebook entry.
coproc SIM { exec "$root/usr/bin/kestrix-sim" 2>"$scratch/sim.err"; }
read -r -t 30 device <&"${SIM[0]}" || fail "kestrix-sim did not start: $(cat "$scratch/sim.err")"
# The installed command line reads the first entry, without a display. It
# goes first: gammu leaves the simulator's tty claimed exclusively.
env -u DISPLAY -u WAYLAND_DISPLAY timeout 60 "$root/usr/bin/morvelctl" read --port "$device" -q \
  >"$scratch/read.mvf" 2>"$scratch/read.err" || fail "morvelctl read: $(cat "$scratch/read.err")"
[[ "$(head -n 1 "$scratch/read.mvf")" == $'+436641234567\r' ]] ||
  fail "morvelctl read: $(cat "$scratch/read.mvf" "$scratch/read.err")"
printf '[gammu]\ndevice = %s\nconnection = at19200\n' "$device" >"$scratch/gammurc"
HOME=$scratch timeout 120 gammu -c "$scratch/gammurc" getmemory SM 1 >"$scratch/entry" ||
  fail "gammu: $(cat "$scratch/entry")"
grep -q '"+436641234567"' "$scratch/entry" && grep -q '"MASTER1"' "$scratch/entry" ||
  fail "the simulator's first entry: $(cat "$scratch/entry")"
echo "package ok: $(basename "$deb")"
