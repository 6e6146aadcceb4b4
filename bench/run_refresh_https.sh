#!/usr/bin/env bash
# run_refresh_https.sh WINDOWS_BUILD_DIR [ROWS]: whole refreshes of ROWS entries (10,000 by
# default) from the local archive over HTTPS, from the click until the program is idle again:
# the first refresh of one program process (which would pay the system's one-time building of
# its root store, had the program not readied it while its window was built) and RUNS more
# (bench/runs.sh), each against curl posting the same form bodies over one keep-alive TLS
# connection to the same server just before it (--cacert the project's test authority, which
# the build tree's Wine prefix is told to trust). Takes ports 8080 (control) and 8443; runs
# inside its own Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source bench/runs.sh
build=$(cd "$1" && pwd)
total=${2:-10000}
arch=win64; [[ $build == *i686* ]] && arch=win32
work=$(mktemp -d)
tls=$build/tls
bash tools/make_test_certs.sh "$tls"
# Wine's server makes the program's sockets: one left running by a run in another network
# namespace would connect there. Let it end first.
WINEPREFIX=$build/wineprefix wineserver -w 2>/dev/null || true
trap 'kill $server 2>/dev/null || true; rm -rf "$work"' EXIT

python3 tools/archive_server.py --host 127.0.0.1 --port 8080 \
  --tls "$tls/localhost.pem" "$tls/localhost.key" --tls-port 8443 >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 100); do grep -q listening "$work/server.log" && break; sleep 0.1; done
grep -q listening "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }
curl -s -o /dev/null -X POST --data "{\"total\": $total}" http://127.0.0.1:8080/_faults
"$root/scripts/wine-run" "$arch" "$build/wineprefix" "$build/tests/e2e/vexdrive.exe" trust-root "Z:$tls/ca.der" \
  >/dev/null

# curl: the bodies the program sends with its default filters, one connection. Milliseconds.
curl_refresh() {
  local config=$work/curl.config t0
  : >"$config"
  for ((start = 0; start < total; start += 20)); do
    ((start == 0)) || echo next >>"$config"
    # "next" forgets every option before it: each request names the authority again.
    printf 'url = "https://localhost:8443/archive/"\ncacert = "%s"\ndata = "action=archive&sort=DATE&title=&start=%d&difficulty=0&platform=&lang=&type=ALL"\noutput = "/dev/null"\n' \
      "$tls/ca.pem" "$start" >>"$config"
  done
  t0=$(date +%s.%N)
  curl -s --http1.1 -H 'Connection: keep-alive' -K "$config"
  awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f\n", (b - a) * 1000 }'
}

mkdir -p "$work/state"
export root build arch work total tls runs
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f curl_refresh)"'
  set -euo pipefail
  wine_run() { "$root/scripts/wine-run" "$arch" "$build/wineprefix" "$@"; }
  drive() { wine_run "$build/tests/e2e/vexdrive.exe" "$@"; }
  (cd "$work/state" && wine_run "$build/src/app/vexlets.exe" --archive https://localhost:8443 \
     >"$work/program.txt" 2>&1) &
  for _ in $(seq 50); do drive wait-window >/dev/null 2>&1 && break; sleep 0.2; done
  for _ in $(seq $((runs + 1))); do
    curl_refresh >>"$work/curl.txt"
    drive refresh | sed -n "s/^elapsed_ms=\([0-9]*\) rows=\([0-9]*\).*/\1 \2/p" >>"$work/ours.txt"
  done
  drive close >/dev/null
  wait
'
if [[ $(cut -d" " -f2 "$work/ours.txt" | sort -u) != "$total" ]]; then
  echo "run_refresh_https: a refresh did not list all $total rows; the program wrote:" >&2
  cat "$work/program.txt" >&2
  exit 1
fi
cut -d" " -f1 "$work/ours.txt" >"$work/elapsed.txt"
for which in first later; do
  if [[ $which == first ]]; then lines=1p; else lines='2,$p'; fi
  sed -n "$lines" "$work/curl.txt" >"$work/curl-$which.txt"
  sed -n "$lines" "$work/elapsed.txt" >"$work/ours-$which.txt"
  printf 'refresh over HTTPS, %s, %d pages (%d rows), click to idle | ' \
    "$([[ $which == first ]] && echo "the first of one process" || echo "the next $runs")" $((total / 20)) "$total"
  against ours "$work/ours-$which.txt" curl "$work/curl-$which.txt" $((total / 20))
done
