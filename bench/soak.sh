#!/usr/bin/env bash
# soak.sh WINDOWS_BUILD_DIR [REFRESHES] [SEED]: one program process under Wine does
# REFRESHES (default 300) refreshes against the local archive, each with a random fault of the
# server (closed connections, 500 replies, chunked replies, a head in two pieces, slow replies,
# no count, and silences past the client's read time-out: before a reply or in the middle of
# its body) and about a third of them cancelled at a random moment. It stops with status 1
# when the program is left in "Loading" or its window is gone. Every 20 refreshes it records
# the program's handle count and private memory, and at the end prints both against their
# values after refresh 20 (the reference: by then every lazily made resource exists).
#
# Takes port 80: run it in a private network namespace,
#   unshare -n bash -c 'ip link set lo up; bash bench/soak.sh build/x86_64'
# SEED repeats a run's choices (it is printed at the start).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "$1" && pwd)
refreshes=${2:-300}
seed=${3:-$((RANDOM * 32768 + RANDOM))}
arch=win64; [[ $build == *i686* ]] && arch=win32
# The client gives a silent server 30 s; a refresh may take that plus its other pages.
read_timeout_ms=30000
step_timeout_ms=$((read_timeout_ms * 2 + 15000))
work=$(mktemp -d)
archive() { bash tests/e2e/run_e2e.sh "$@"; }
trap 'archive server-stop "$work"; rm -rf "$work"' EXIT
archive server-start "$work" tools/archive_server.py

mkdir -p "$work/state"
export root build arch work refreshes seed read_timeout_ms step_timeout_ms
status=0
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -euo pipefail
  wine_run() { "$root/scripts/wine-run" "$arch" "$build/wineprefix" "$@"; }
  drive() { wine_run "$build/tests/e2e/vexdrive.exe" "$@"; }
  control() { curl -s -o /dev/null -f -X POST --data "${2:-}" "http://127.0.0.1/$1"; }
  (cd "$work/state" && wine_run "$build/src/app/vexlets.exe" >"$work/program.log" 2>&1) &
  # The window shows before its children are all made; ask again until they are.
  for _ in $(seq 50); do drive wait-window >/dev/null 2>&1 && break; sleep 0.2; done

  RANDOM=$seed
  declare -A seen=()
  cancels=0
  for ((i = 1; i <= refreshes; i++)); do
    total=$((RANDOM % 121))
    pick=$((RANDOM % 100))
    silence=$((read_timeout_ms + 1000 + RANDOM % 2000))
    case $pick in
      [0-9] | [12][0-9]) kind=plain extra="" ;;
      3[0-9] | 4[01]) kind=closed extra=", \"close_after\": $((RANDOM % 4))" ;;
      4[2-9] | 5[0-3]) kind=status500 extra=", \"status\": 500" ;;
      5[4-9] | 6[0-5]) kind=chunked extra=", \"chunked\": true, \"chunk_size\": $((RANDOM % 64 + 1))" ;;
      6[6-9] | 7[0-5]) kind=split_head extra=", \"split_head\": true" ;;
      7[6-9] | 8[0-5]) kind=slow extra=", \"delay_ms\": $((RANDOM % 500 + 100))" ;;
      8[6-9] | 9[0-3]) kind=no_count extra=", \"no_count\": true" ;;
      9[4-6]) kind=silent extra=", \"delay_ms\": $silence, \"delay_from\": $((RANDOM % 3))" ;;
      *) kind=stalled_body extra=", \"stall_body_ms\": $silence, \"delay_from\": $((RANDOM % 3))" ;;
    esac
    faults="{\"total\": $total$extra}"
    control _reset
    control _faults "$faults"
    seen[$kind]=$((${seen[$kind]:-0} + 1))
    cancel=()
    if ((RANDOM % 100 < 30)); then
      cancel=(--cancel-after $((RANDOM % 1500)))
      cancels=$((cancels + 1))
    fi
    if ! drive refresh --timeout "$step_timeout_ms" "${cancel[@]}" >"$work/step.txt" 2>&1; then
      if drive wait-window --timeout 2000 >/dev/null 2>&1; then
        echo "soak: refresh $i ($kind, $faults ${cancel[*]}): $(cat "$work/step.txt")" >&2
      else
        echo "soak: refresh $i ($kind, $faults ${cancel[*]}): the program is gone" >&2
      fi
      exit 1
    fi
    if ((i % 20 == 0 || i == refreshes)); then
      read -r handles private < <(drive stats | sed -n "s/^handles=\([0-9]*\) private_bytes=\([0-9]*\)$/\1 \2/p")
      echo "$i $handles $private" >>"$work/curve.txt"
      printf "refresh %4d: handles %5d  private memory %8d KB\n" "$i" "$handles" $((private / 1024))
    fi
  done
  summary=""
  for kind in "${!seen[@]}"; do summary+=" $kind=${seen[$kind]}"; done
  echo "faults:$summary; cancels=$cancels"
  drive close >"$work/close.txt"
  grep -qx "exit_code=0" "$work/close.txt" || { echo "soak: the program ended with $(cat "$work/close.txt")" >&2; exit 1; }
' || status=$?
if ((status == 0)); then
  echo "program messages: $(grep -c "timed out" "$work/program.log" || true) time-outs," \
    "$(grep -c "^socket connect error 10004" "$work/program.log" || true) connects cancelled"
  read -r _ h20 p20 < <(awk '$1 == 20' "$work/curve.txt")
  read -r last hn pn < <(tail -n 1 "$work/curve.txt")
  printf 'soak %d refreshes in one process (seed %s): never left in "Loading", exit code 0\n' "$refreshes" "$seed"
  printf 'handles        after refresh 20: %6d | after refresh %d: %6d | ratio %.2fx\n' "$h20" "$last" "$hn" \
    "$(awk -v a="$hn" -v b="$h20" 'BEGIN { print a / b }')"
  printf 'private memory after refresh 20: %6d KB | after refresh %d: %6d KB | ratio %.2fx\n' $((p20 / 1024)) \
    "$last" $((pn / 1024)) "$(awk -v a="$pn" -v b="$p20" 'BEGIN { print a / b }')"
else
  echo "soak: failed (seed $seed); the program wrote:" >&2
  tail -n 20 "$work/program.log" >&2 || true
fi
exit $status
