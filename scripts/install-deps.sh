#!/usr/bin/env bash
# Installs the Debian packages Morvel needs to build, run and test.
# Idempotent: packages already present are left alone, and apt is not
# touched at all when nothing is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev fonts-liberation2
  libgtest-dev libgmock-dev googletest libbenchmark-dev nlohmann-json3-dev
  clang clang-format libclang-rt-14-dev
  libacl1-dev libattr1-dev libseccomp-dev
  gammu gsm-utils
  xvfb dbus-daemon at-spi2-core python3-pyatspi python3-xlib
  dpkg-dev desktop-file-utils appstream man-db lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi

echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
