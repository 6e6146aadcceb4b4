#!/usr/bin/env bash
# run_refresh.sh WINDOWS_BUILD_DIR [ROWS...]: for each size (10,000 and 100,000 rows by
# default), whole refreshes from the local archive, from the click until the program is idle
# again, against curl posting the same form bodies over one keep-alive connection to the same
# server, in turns: RUNS runs (bench/runs.sh), each a curl run and then a refresh, in one
# program process; the program's private memory before the first and after the last; then
# the time from start to an idle window with the state file the refreshes left, against a
# start without one (RUNS runs of the two starts); the time per row of the largest size
# against the smallest. Last, a distant site: 10,000 rows with every reply 50 ms late
# (DELAYED_ROWS, REPLY_DELAY), the program with its default connections against curl posting
# the same bodies over 4 connections at once, and over one. Takes port 80; runs inside its
# own Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source bench/runs.sh
# The program's process (program_pid) and curl posting the same bodies (curl_refresh TOTAL).
source bench/common.sh
build=$(cd "$1" && pwd)
shift
sizes=("$@")
((${#sizes[@]})) || sizes=(10000 100000)
arch=win64; [[ $build == *i686* ]] && arch=win32
work=$(mktemp -d)
# Wine's server makes the program's sockets: one left running by a run in another network
# namespace (unshare -n) would connect there, where no archive listens. Let it end first.
WINEPREFIX=$build/wineprefix wineserver -w 2>/dev/null || true
trap 'kill $server 2>/dev/null || true; rm -rf "$work"' EXIT

start_server() {
  python3 tools/archive_server.py --host 127.0.0.1 --port 80 "$@" >"$work/server.log" 2>&1 &
  server=$!
  for _ in $(seq 100); do grep -q listening "$work/server.log" && break; sleep 0.1; done
  grep -q listening "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }
}
start_server

# The program's private memory in bytes: the anonymous memory of its Linux process (found by
# the tag in its environment), which is what Wine reports as a process's private usage.
export VEX_BENCH_RUN=$work
private_bytes() {
  local pid
  pid=$(program_pid)
  [[ -n $pid ]] || { echo 0; return 0; }
  awk '/^(RssAnon|VmSwap):/ { kb += $2 } END { print kb * 1024 }' "/proc/$pid/status"
}

export root build arch work runs
for total in "${sizes[@]}"; do
  curl -s -o /dev/null -X POST --data "{\"total\": $total}" http://127.0.0.1/_faults
  mkdir -p "$work/state-$total" "$work/empty"
  export total
  xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f program_pid private_bytes curl_refresh)"'
    set -euo pipefail
    wine_run() { "$root/scripts/wine-run" "$arch" "$build/wineprefix" "$@"; }
    drive() { wine_run "$build/tests/e2e/vexdrive.exe" "$@"; }
    (cd "$work/state-$total" && wine_run "$build/src/app/vexlets.exe" >"$work/program-$total.txt" 2>&1) &
    # The window shows before its children are all made; ask again until they are.
    for _ in $(seq 50); do drive wait-window >/dev/null 2>&1 && break; sleep 0.2; done
    private_bytes >"$work/memory-before-$total.txt"
    for _ in $(seq "$runs"); do
      curl_refresh "$total" >>"$work/curl-$total.txt"
      drive refresh | sed -n "s/^elapsed_ms=\([0-9]*\) rows=\([0-9]*\).*/\1 \2/p" >>"$work/refresh-$total.txt"
    done
    private_bytes >"$work/memory-after-$total.txt"
    drive close >/dev/null
    wait
    wine_run "$build/bench/startup_bench.exe" "$build/src/app/vexlets.exe" \
      "$work/state-$total" "$work/empty" "$runs" >"$work/startup-$total.txt"
  '
  cut -d" " -f1 "$work/refresh-$total.txt" >"$work/elapsed-$total.txt"
  rows=$(tail -1 "$work/refresh-$total.txt" | cut -d" " -f2)
  if [[ $(cut -d" " -f2 "$work/refresh-$total.txt" | sort -u) != "$total" ]]; then
    echo "run_refresh: a refresh did not list all $total rows; the program wrote:" >&2
    cat "$work/program-$total.txt" >&2
    exit 1
  fi
  printf 'refresh %d pages (%d rows listed), click to idle | ' $((total / 20)) "$rows"
  against ours "$work/elapsed-$total.txt" curl "$work/curl-$total.txt" $((total / 20))
  before=$(cat "$work/memory-before-$total.txt")
  after=$(cat "$work/memory-after-$total.txt")
  printf 'private memory | idle before the refreshes %.1f MB | after them, %d rows listed, %.1f MB | %.0f bytes a row\n' \
    "$(ratio "$before" 1048576)" "$rows" "$(ratio "$after" 1048576)" "$(ratio $((after - before)) "$rows")"
  # The Windows program ends its lines with CR LF.
  tr -d '\r' <"$work/startup-$total.txt" | cut -d" " -f1 >"$work/loaded-$total.txt"
  tr -d '\r' <"$work/startup-$total.txt" | cut -d" " -f2 >"$work/fresh-$total.txt"
  printf '%d rows: start to idle, a %d-byte state file | ' "$total" "$(stat -c %s "$work/state-$total/gui_state")"
  against "with it" "$work/loaded-$total.txt" "without" "$work/fresh-$total.txt"
done

if ((${#sizes[@]} > 1)); then
  small=${sizes[0]} large=${sizes[${#sizes[@]} - 1]}
  small_us=$(ratio "$(($(median "$work/elapsed-$small.txt") * 1000))" "$small")
  large_us=$(ratio "$(($(median "$work/elapsed-$large.txt") * 1000))" "$large")
  printf 'time per row, click to idle, medians | %d rows %s us | %d rows %s us | ratio %sx\n' \
    "$small" "$small_us" "$large" "$large_us" "$(ratio "$large_us" "$small_us")"
fi

# -- a distant site --
delayed=${DELAYED_ROWS:-10000}
delay=${REPLY_DELAY:-0.05}
kill $server 2>/dev/null || true
wait $server 2>/dev/null || true
start_server --reply-delay "$delay"
curl -s -o /dev/null -X POST --data "{\"total\": $delayed}" http://127.0.0.1/_faults
export delayed
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$(declare -f curl_refresh)"'
  set -euo pipefail
  wine_run() { "$root/scripts/wine-run" "$arch" "$build/wineprefix" "$@"; }
  drive() { wine_run "$build/tests/e2e/vexdrive.exe" "$@"; }
  mkdir -p "$work/delayed"
  (cd "$work/delayed" && wine_run "$build/src/app/vexlets.exe" >"$work/program-delayed.txt" 2>&1) &
  for _ in $(seq 50); do drive wait-window >/dev/null 2>&1 && break; sleep 0.2; done
  for _ in $(seq "$runs"); do
    PARALLEL=4 curl_refresh "$delayed" >>"$work/curl4-delayed.txt"
    curl_refresh "$delayed" >>"$work/curl1-delayed.txt"
    drive refresh --timeout 600000 | sed -n "s/^elapsed_ms=\([0-9]*\) rows=\([0-9]*\).*/\1 \2/p" >>"$work/refresh-delayed.txt"
  done
  drive close >/dev/null
  wait
'
if [[ $(cut -d" " -f2 "$work/refresh-delayed.txt" | sort -u) != "$delayed" ]]; then
  echo "run_refresh: a refresh did not list all $delayed rows; the program wrote:" >&2
  cat "$work/program-delayed.txt" >&2
  exit 1
fi
cut -d" " -f1 "$work/refresh-delayed.txt" >"$work/elapsed-delayed.txt"
printf 'refresh %d pages, every reply %s s late | ' $((delayed / 20)) "$delay"
against ours "$work/elapsed-delayed.txt" "curl 4 at once" "$work/curl4-delayed.txt" $((delayed / 20))
printf 'refresh %d pages, every reply %s s late | ' $((delayed / 20)) "$delay"
against ours "$work/elapsed-delayed.txt" "curl one connection" "$work/curl1-delayed.txt" $((delayed / 20))
