#!/usr/bin/env bash
# run_net.sh WINDOWS_BUILD_DIR: pages per second of our client (under Wine) and of curl over
# one keep-alive connection each, against the same loopback server, sized and chunked; the
# two in turns, the median of ROUNDS (5) each, so that a busy machine slows both alike.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "$1" && pwd)
arch=win64; [[ $build == *i686* ]] && arch=win32
pages=${PAGES:-400}
rounds=${ROUNDS:-5}
body='action=archive&sort=DATE&title=&start=0&difficulty=0&platform=&lang=&type=ALL'
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
for mode in sized chunked; do
  coproc server { exec python3 bench/net_server.py "$mode"; }
  read -r port <&"${server[0]}"
  config=$(mktemp)
  for ((i = 0; i < pages; i++)); do
    printf 'url = "http://127.0.0.1:%s/archive/"\noutput = "/dev/null"\n' "$port" >>"$config"
  done
  curl_times=() ours_times=()
  for ((r = 0; r < rounds; r++)); do
    start=$(date +%s.%N)
    curl -s --http1.1 -H 'Connection: keep-alive' --data "$body" -K "$config"
    curl_times+=("$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')")
    read -r ours _ < <(scripts/wine-run "$arch" "$build/wineprefix" \
                         "$build/bench/net_client_bench.exe" "$port" "$pages")
    ours_times+=("$ours")
  done
  curl_s=$(printf '%s\n' "${curl_times[@]}" | median)
  ours_s=$(printf '%s\n' "${ours_times[@]}" | median)
  kill "$server_PID" 2>/dev/null || true
  wait "$server_PID" 2>/dev/null || true
  rm -f "$config"
  printf 'http %-8s %d pages of 30 KB | curl %.3f s (%.0f pages/s) | ours %.3f s (%.0f pages/s) | ours/curl time %.2fx\n' \
    "$mode" "$pages" "$curl_s" "$(awk -v p="$pages" -v t="$curl_s" 'BEGIN { print p / t }')" \
    "$ours_s" "$(awk -v p="$pages" -v t="$ours_s" 'BEGIN { print p / t }')" \
    "$(awk -v a="$ours_s" -v b="$curl_s" 'BEGIN { print a / b }')"
done
