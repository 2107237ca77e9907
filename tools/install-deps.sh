#!/usr/bin/env bash
# Installs the Debian 12 packages that one use of the tree needs, and only those:
#   tools/install-deps.sh run      build and run Corvalink (make run)
#   tools/install-deps.sh test     build and run every test (make test, make asan-test)
#   tools/install-deps.sh desktop  the whole desktop shells as well (make desktop-test)
#   tools/install-deps.sh fuzz     the libFuzzer build (make fuzz)
#   tools/install-deps.sh format   clang-format (make format)
#   tools/install-deps.sh deb      build and check the Debian package (make deb, make package-check)
# Idempotent: only missing packages are installed.
set -euo pipefail

build=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-svg-dev qt6-webengine-dev libgl-dev
       libxkbcommon-dev libxcb1-dev libxcb-keysyms1-dev)
run=("${build[@]}" qt6-wayland chromium xdg-utils)
test=("${run[@]}" libbenchmark-dev
      xvfb xauth xdotool trayer x11-utils x11-xserver-utils x11-xkb-utils
      dbus-daemon dbus-bin xdg-desktop-portal xdg-desktop-portal-kde libkf5globalaccel-bin python3-gi gir1.2-dbusmenu-glib-0.4 gir1.2-gtk-3.0 sqlite3
      sway waybar wtype grim firefox-esr xfce4-panel lxqt-panel openbox)

case "${1:-run}" in
  run) packages=("${run[@]}") ;;
  test) packages=("${test[@]}") ;;
  desktop) packages=("${test[@]}" plasma-workspace plasma-desktop kded5 gnome-shell gnome-shell-extension-appindicator
                    dconf-service dconf-gsettings-backend libglib2.0-bin) ;;
  fuzz) packages=("${build[@]}" clang libclang-rt-14-dev) ;;
  format) packages=(clang-format) ;;
  deb) packages=("${build[@]}" dpkg-dev file fakeroot help2man lintian appstream desktop-file-utils man-db xvfb xauth) ;;
  *) echo "usage: $0 run|test|desktop|fuzz|format|deb" >&2; exit 2 ;;
esac

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
