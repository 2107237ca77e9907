#!/usr/bin/env bash
# Installs the Debian 12 packages Corvalink needs to build, run and test.
# Idempotent: only missing packages are installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang-format libbenchmark-dev
  qt6-base-dev qt6-svg-dev qt6-webengine-dev libgl-dev qt6-wayland
  libxcb1-dev libxcb-keysyms1-dev
  xvfb xauth xdotool trayer x11-utils x11-xserver-utils
  dbus-daemon xdg-desktop-portal python3-dbus python3-gi
  sway wtype grim
  chromium
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Corvalink needs these Debian packages: ${missing[*]}" >&2
  echo "Install them with:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
