#!/usr/bin/env bash
# Runs every benchmark and prints the figures that README.md quotes.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=build/bin
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/runtime"
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home/runtime"

echo "== store (offscreen)"
QT_QPA_PLATFORM=offscreen "$bin/bench_store" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
echo "== status menu rebuild (offscreen)"
QT_QPA_PLATFORM=offscreen "$bin/bench_menu" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

# Start-up: medians of 31 rounds on Xvfb with a tray host; the probes take
# turns, so that the machine's drift touches them alike. This machine's
# timings wander by a millisecond or two between rounds: fewer rounds gave
# medians that moved by 5 %.
startup() {
  declare -A times sizes
  local probe started
  for _ in $(seq 31); do
    for probe in "$@"; do
      started=$(date +%s.%N)
      while read -r key value; do
        case $key in
          event-loop-at-ms) times[$probe]+="$(awk -v v="$value" -v s="$started" 'BEGIN { printf "%.1f", v - s * 1000 }') " ;;
          rss-kib) sizes[$probe]+="$value " ;;
        esac
      done < <("$probe")
    done
  done
  local time size
  for probe in "$@"; do
    time=$(tr ' ' '\n' <<<"${times[$probe]}" | grep . | sort -n | sed -n 16p)
    size=$(tr ' ' '\n' <<<"${sizes[$probe]}" | grep . | sort -n | sed -n 16p)
    echo "  $(basename "$probe"): to event loop: median ${time} ms; resident: median $((size / 1024)) MiB (${size} KiB)"
  done
}
export -f startup
echo "== start-up (Xvfb): _bare is a bare Qt tray icon, for comparison; bench_startup the tray app, web"
echo "   windows in their helper process; _webengine the same app carrying the web engine itself"
probes="$bin/bench_startup_bare $bin/bench_startup"
[ -x "$bin/bench_startup_webengine" ] && probes+=" $bin/bench_startup_webengine"
tests/common/with-xvfb bash -c "startup $probes"

# "corvalink --list": medians of 15 runs with no accounts and with 10,000 (50 sites,
# half of them opened once), no Corvalink running.
list_median() {
  local times=()
  for _ in $(seq 15); do
    local started ended
    started=$(date +%s%N)
    "$bin/corvalink" --list >/dev/null
    ended=$(date +%s%N)
    times+=("$(( (ended - started) / 100000 ))")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n 8p | awk '{ printf "%.1f", $1 / 10 }'
}
echo "== corvalink --list"
accounts="$XDG_DATA_HOME/Corvalink/accounts.json"
mkdir -p "$(dirname "$accounts")"
echo "[]" >"$accounts"
none=$(list_median)
/usr/bin/python3 - "$accounts" <<'PY'
import json, sys, uuid
accounts = []
for i in range(10000):
    account = {"id": str(uuid.UUID(int=i + 1)).upper(), "label": f"account {i}", "siteName": f"Site {i % 50}",
               "url": "https://example.org/login"}
    if i % 2 == 0:
        account["lastOpened"] = 786722400.5 + i
    accounts.append(account)
json.dump(accounts, open(sys.argv[1], "w"), indent=4, sort_keys=True)
PY
many=$(list_median)
echo "  no accounts: median ${none} ms; 10,000 accounts: median ${many} ms"

# In-app web windows: PSS of the helper and every process it started, one
# window per account on a small local page.
if [ -x "$bin/corvalink-web" ]; then
  echo "== in-app web windows, proportional memory (Xvfb)"
  # The web engine's sandbox refuses to run as root; a user's run keeps it.
  [ "$(id -u)" = 0 ] && export QTWEBENGINE_DISABLE_SANDBOX=1
  NO_TRAY=1 tests/common/with-xvfb /usr/bin/python3 bench/web_memory.py "$bin/corvalink-web" 2>/dev/null
fi
