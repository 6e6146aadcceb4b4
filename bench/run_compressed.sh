#!/usr/bin/env bash
# run_compressed.sh WINDOWS_BUILD_DIR: pages sent gzipped, in a network namespace of its own.
#  - Through a link limited to 20 Mbit/s (LINK_RATE; the loopback shaped with tc's token
#    bucket filter, its MTU 1500): a refresh of 10,000 entries (LIMITED_ROWS) from click to
#    idle, the pages gzipped, against curl --compressed posting the same bodies over 4
#    connections at once, and against the same refresh with the pages sent plain, for scale.
#  - Without the limit: refreshes of 10,000 and 100,000 entries gzipped against the same sent
#    plain, in time and in the program's processor time (less sensitive to a busy machine).
# RUNS runs of each (bench/runs.sh), taken in turns in one program process. The local archive
# gzips for whoever asks (--gzip); its fault "gzip" switches that off for the plain refreshes.
# Runs inside its own Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
# The link is shaped on this namespace's own loopback, never the machine's.
if [[ -z ${VEX_BENCH_NAMESPACE:-} ]]; then
  VEX_BENCH_NAMESPACE=1 exec unshare -n bash "$0" "$@"
fi
ip link set lo up
root=$PWD
source bench/runs.sh
# The program's process (program_pid) and curl posting the same bodies (curl_refresh TOTAL).
source bench/common.sh
build=$(cd "$1" && pwd)
arch=win64; [[ $build == *i686* ]] && arch=win32
rate=${LINK_RATE:-20mbit}
limited=${LIMITED_ROWS:-10000}
work=$(mktemp -d)
# Wine's server makes the program's sockets: one left running from another network namespace
# would make them there. Let it end first, and end this namespace's own at the end.
WINEPREFIX=$build/wineprefix wineserver -w 2>/dev/null || true
trap 'kill $server 2>/dev/null || true; WINEPREFIX=$build/wineprefix wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

python3 tools/archive_server.py --host 127.0.0.1 --port 80 --gzip >"$work/server.log" 2>&1 &
server=$!
for _ in $(seq 100); do grep -q listening "$work/server.log" && break; sleep 0.1; done
grep -q listening "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }

faults() { curl -s -o /dev/null -X POST --data "$1" http://127.0.0.1/_faults; }

# The program's processor time so far in milliseconds, all its threads: what it costs to
# inflate, whatever else the machine runs meanwhile.
export VEX_BENCH_RUN=$work
program_cpu_ms() {
  sed "s/.*) //" "/proc/$(program_pid)/stat" | awk -v hz="$(getconf CLK_TCK)" "{ print (\$12 + \$13) * 1000 / hz }"
}

# One program for every refresh; `refresh FILE TOTAL` appends its click-to-idle milliseconds
# to FILE, and the processor time it took to FILE.cpu.
export root build arch work runs limited rate
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f curl_refresh faults program_pid program_cpu_ms)"'
  set -euo pipefail
  wine_run() { "$root/scripts/wine-run" "$arch" "$build/wineprefix" "$@"; }
  drive() { wine_run "$build/tests/e2e/vexdrive.exe" "$@" --title 127.0.0.1; }
  refresh() {
    local line cpu
    cpu=$(program_cpu_ms)
    line=$(drive refresh)
    echo $(($(program_cpu_ms) - cpu)) >>"$1.cpu"
    [[ $line == *" rows=$2" ]] || { echo "run_compressed: $line, not $2 rows" >&2; exit 1; }
    echo "$line" | sed -n "s/^elapsed_ms=\([0-9]*\).*/\1/p" >>"$1"
  }
  mkdir -p "$work/state"
  (cd "$work/state" && wine_run "$build/src/app/vexlets.exe" --archive http://127.0.0.1 >"$work/program.txt" 2>&1) &
  for _ in $(seq 50); do drive wait-window >/dev/null 2>&1 && break; sleep 0.2; done

  # The link: every packet of the loopback, both ways, through one token bucket.
  ip link set lo mtu 1500
  tc qdisc add dev lo root tbf rate "$rate" burst 32kb latency 100ms
  faults "{\"total\": $limited}"
  for _ in $(seq "$runs"); do
    faults "{\"gzip\": true}"
    PARALLEL=4 COMPRESSED=1 curl_refresh "$limited" >>"$work/limited-curl.txt"
    refresh "$work/limited-gzip.txt" "$limited"
    faults "{\"gzip\": false}"
    refresh "$work/limited-plain.txt" "$limited"
  done
  tc qdisc del dev lo root
  ip link set lo mtu 65536

  for total in 10000 100000; do
    faults "{\"total\": $total}"
    # Uncounted: the archive compresses each page once and keeps it, as a site cache does;
    # a first gzipped refresh would time the compressing of the archive, not the program.
    faults "{\"gzip\": true}"
    refresh "$work/warm-$total.txt" "$total"
    for _ in $(seq "$runs"); do
      faults "{\"gzip\": true}"
      refresh "$work/open-gzip-$total.txt" "$total"
      faults "{\"gzip\": false}"
      refresh "$work/open-plain-$total.txt" "$total"
    done
  done
  drive close >/dev/null
  wait
'

pages=$((limited / 20))
printf 'refresh %d pages over %s, gzipped, click to idle | ' "$pages" "$rate"
against ours "$work/limited-gzip.txt" "curl 4 at once" "$work/limited-curl.txt" "$pages"
printf 'refresh %d pages over %s, click to idle | ' "$pages" "$rate"
against gzipped "$work/limited-gzip.txt" plain "$work/limited-plain.txt"
for total in 10000 100000; do
  printf 'refresh %d pages, no limit, click to idle | ' $((total / 20))
  against gzipped "$work/open-gzip-$total.txt" plain "$work/open-plain-$total.txt"
  printf 'refresh %d pages, no limit, the program'"'"'s processor time | ' $((total / 20))
  against gzipped "$work/open-gzip-$total.txt.cpu" plain "$work/open-plain-$total.txt.cpu"
done
