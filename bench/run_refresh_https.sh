#!/usr/bin/env bash
# run_refresh_https.sh WINDOWS_BUILD_DIR [ROWS]: whole refreshes of ROWS entries (10,000 by
# default) from the local archive over HTTPS, from the click until the program is idle again:
# the first refresh of one program process (which also pays the system's one-time building of
# its root store) and the second, each against curl posting the same form bodies over one
# keep-alive TLS connection to the same server (--cacert the project's test authority, which
# the build tree's Wine prefix is told to trust). Takes ports 8080 (control) and 8443; runs
# inside its own Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
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
export root build arch work total tls
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f curl_refresh)"'
  set -euo pipefail
  wine_run() { "$root/scripts/wine-run" "$arch" "$build/wineprefix" "$@"; }
  drive() { wine_run "$build/tests/e2e/vexdrive.exe" "$@"; }
  (cd "$work/state" && wine_run "$build/src/app/vexlets.exe" --archive https://localhost:8443 \
     >"$work/program.txt" 2>&1) &
  for _ in $(seq 50); do drive wait-window >/dev/null 2>&1 && break; sleep 0.2; done
  for _ in first second; do
    curl_refresh >>"$work/curl.txt"
    drive refresh | sed -n "s/^elapsed_ms=\([0-9]*\) rows=\([0-9]*\).*/\1 \2/p" >>"$work/ours.txt"
  done
  drive close >/dev/null
  wait
'
for round in 1 2; do
  curl_ms=$(sed -n "${round}p" "$work/curl.txt")
  read -r ours_ms rows < <(sed -n "${round}p" "$work/ours.txt")
  if [[ $rows != "$total" ]]; then
    echo "run_refresh_https: a refresh listed $rows of $total rows; the program wrote:" >&2
    cat "$work/program.txt" >&2
    exit 1
  fi
  printf 'refresh over HTTPS, %s of one process, %d pages (%d rows) | curl %d ms | ours %d ms, click to idle | ours/curl time %sx\n' \
    "$([[ $round == 1 ]] && echo first || echo second)" $((total / 20)) "$rows" "$curl_ms" "$ours_ms" \
    "$(awk -v a="$ours_ms" -v b="$curl_ms" 'BEGIN { printf "%.2f", a / b }')"
done
