#!/usr/bin/env bash
# run_refresh.sh WINDOWS_BUILD_DIR: a whole refresh of 500 pages (10,000 entries) from the
# local archive, from the click until the program is idle again, against curl posting the
# same 500 form bodies over one keep-alive connection to the same server; then the time from
# start to an idle window with the 10,000-row state file that refresh left, against a start
# without one. Takes port 80; runs inside its own Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "$1" && pwd)
arch=win64; [[ $build == *i686* ]] && arch=win32
total=10000
work=$(mktemp -d)
trap 'kill $server 2>/dev/null || true; rm -rf "$work"' EXIT

python3 tools/archive_server.py --host 127.0.0.1 --port 80 >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 100); do grep -q listening "$work/server.log" && break; sleep 0.1; done
grep -q listening "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }
curl -s -o /dev/null -X POST --data "{\"total\": $total}" http://127.0.0.1/_faults

# curl: the bodies the program sends with its default filters, one connection.
config=$work/curl.config
for ((start = 0; start < total; start += 20)); do
  ((start == 0)) || echo next >>"$config"
  printf 'url = "http://127.0.0.1/archive/"\ndata = "action=archive&sort=DATE&title=&start=%d&difficulty=0&platform=&lang=&type=ALL"\noutput = "/dev/null"\n' \
    "$start" >>"$config"
done
t0=$(date +%s.%N)
curl -s --http1.1 -H 'Connection: keep-alive' -K "$config"
curl_ms=$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f", (b - a) * 1000 }')

mkdir -p "$work/state" "$work/empty"
export root build arch work
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  wine_run() { "$root/scripts/wine-run" "$arch" "$build/wineprefix" "$@"; }
  drive() { wine_run "$build/tests/e2e/vexdrive.exe" "$@"; }
  (cd "$work/state" && wine_run "$build/src/app/vexlets.exe" >/dev/null 2>&1) &
  # The window shows before its children are all made; ask again until they are.
  for _ in $(seq 50); do drive wait-window >/dev/null 2>&1 && break; sleep 0.2; done
  drive refresh >"$work/refresh.txt"
  drive close >/dev/null
  wait
  wine_run "$build/bench/startup_bench.exe" "$build/src/app/vexlets.exe" \
    "$work/state" "$work/empty" >"$work/startup.txt"
'
read -r ours_ms rows < <(sed -n 's/^elapsed_ms=\([0-9]*\) rows=\([0-9]*\).*/\1 \2/p' "$work/refresh.txt")
printf 'refresh %d pages (%d rows listed) | curl %d ms | ours %d ms, click to idle | ours/curl time %.2fx\n' \
  $((total / 20)) "$rows" "$curl_ms" "$ours_ms" "$(awk -v a="$ours_ms" -v b="$curl_ms" 'BEGIN { print a / b }')"
cat "$work/startup.txt"
