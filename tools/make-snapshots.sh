#!/usr/bin/env bash
# Renders the settings tabs with the demo accounts into docs/ (light palette),
# in a throw-away home so the user's own accounts never show.
set -euo pipefail
cd "$(dirname "$0")/.."
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.local/share/Corvalink" "$home/runtime"
chmod 700 "$home/runtime"
cp docs/demo-accounts.json "$home/.local/share/Corvalink/accounts.json"
# Opened "a while ago" whatever day the pictures are made.
now=$(( $(date +%s) - 978307200 ))
sed -i "s/786722400.5/$((now - 7200)).5/; s/786540000/$((now - 3 * 86400))/" "$home/.local/share/Corvalink/accounts.json"
env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" XDG_RUNTIME_DIR="$home/runtime" \
  QT_QPA_PLATFORM=offscreen ./build/bin/corvalink --snapshot docs/
ls -l docs/tab0.png docs/tab1.png docs/tab2.png
