#!/usr/bin/env bash
# run_list.sh WINDOWS_BUILD_DIR [ROWS]: the list as a tool, driven from outside (vexdrive) in
# one program process, each figure against the same action on a list of 45 entries taken in
# the same run, which shows the cost that does not grow with the list; RUNS runs
# (bench/runs.sh):
#   - narrowing ROWS (100,000) listed entries by one more typed character: "e" typed into an
#     empty Find box, which keeps most rows, and "8" after "vexlet v", which keeps almost none
#     (the time from the character until the list followed it);
#   - sorting them by name and by difficulty (a click on the header until the list is sorted);
#   - a refresh of ROWS entries with the Find text "e" and a sort by name (clicked right after
#     Refresh, so that every page after the first joins the sorted view) in force, against the
#     same refresh without them (click to idle).
# Narrowing and sorting print the milliseconds above the small list's; the refresh a ratio.
# Takes port 80; runs inside its own Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source bench/runs.sh
build=$(cd "$1" && pwd)
rows=${2:-100000}
arch=win64; [[ $build == *i686* ]] && arch=win32
work=$(mktemp -d)
WINEPREFIX=$build/wineprefix wineserver -w 2>/dev/null || true
python3 tools/archive_server.py --host 127.0.0.1 --port 80 >"$work/server.log" 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do grep -q listening "$work/server.log" && break; sleep 0.1; done
grep -q listening "$work/server.log" || { cat "$work/server.log" >&2; exit 1; }

export root build arch work runs rows
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  wine_run() { "$root/scripts/wine-run" "$arch" "$build/wineprefix" "$@"; }
  drive() { wine_run "$build/tests/e2e/vexdrive.exe" "$@"; }
  # The milliseconds a command printed; the rest of its line to the log.
  ms() { drive "$@" | tee -a "$work/drive.log" | sed -n "s/^elapsed_ms=\([0-9]*\).*/\1/p"; }
  total() { curl -s -o /dev/null -X POST --data "{\"total\": $1}" http://127.0.0.1/_faults; }
  mkdir -p "$work/state"
  (cd "$work/state" && wine_run "$build/src/app/vexlets.exe" >"$work/program.txt" 2>&1) &
  for _ in $(seq 50); do drive wait-window >/dev/null 2>&1 && break; sleep 0.2; done
  for _ in $(seq "$runs"); do
    for size in 45 "$rows"; do
      total "$size"
      drive find --text "" >/dev/null
      ms refresh >>"$work/refresh-$size.txt"
      drive find --text "" >/dev/null
      ms type --text e >>"$work/most-$size.txt"
      drive find --text "vexlet v" >/dev/null
      ms type --text 8 >>"$work/none-$size.txt"
      drive find --text "" >/dev/null
      ms sort --column 0 >>"$work/name-$size.txt"
      ms sort --column 1 >>"$work/difficulty-$size.txt"
    done
    drive find --text e >/dev/null
    ms refresh --sort 0 >>"$work/sorted-found-$rows.txt"
  done
  drive close >/dev/null
  wait
'
if ! grep -q "rows=$rows" "$work/drive.log"; then
  echo "run_list: the list never held $rows rows; vexdrive wrote:" >&2
  cat "$work/drive.log" >&2
  exit 1
fi
printf 'narrowing %d entries by "e" (most kept) | ' "$rows"
above ours "$work/most-$rows.txt" "45 entries" "$work/most-45.txt"
printf 'narrowing %d entries by "8" after "vexlet v" (almost none kept) | ' "$rows"
above ours "$work/none-$rows.txt" "45 entries" "$work/none-45.txt"
printf 'sorting %d entries by name | ' "$rows"
above ours "$work/name-$rows.txt" "45 entries" "$work/name-45.txt"
printf 'sorting %d entries by difficulty | ' "$rows"
above ours "$work/difficulty-$rows.txt" "45 entries" "$work/difficulty-45.txt"
printf 'refresh %d entries, click to idle | ' "$rows"
against "sorted and found" "$work/sorted-found-$rows.txt" plain "$work/refresh-$rows.txt"
