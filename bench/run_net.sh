#!/usr/bin/env bash
# run_net.sh WINDOWS_BUILD_DIR: pages per second of our client (under Wine) and of curl over
# one keep-alive connection each, against the same loopback server, sized and chunked; over
# HTTP, then over HTTPS (certificates of the project's test authority, which the build tree's
# Wine prefix is told to trust; curl gets it with --cacert).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "$1" && pwd)
arch=win64; [[ $build == *i686* ]] && arch=win32
pages=${PAGES:-400}
body='action=archive&sort=DATE&title=&start=0&difficulty=0&platform=&lang=&type=ALL'
tls=$build/tls
bash tools/make_test_certs.sh "$tls"
scripts/wine-run "$arch" "$build/wineprefix" "$build/tests/e2e/vexdrive.exe" trust-root "Z:$tls/ca.der" >/dev/null

measure() {  # scheme (http or https), mode (sized or chunked)
  local scheme=$1 mode=$2 config curl_s ours_s start
  local certs=() curl_tls=() host=127.0.0.1
  if [[ $scheme == https ]]; then
    certs=("$tls/localhost.pem" "$tls/localhost.key") curl_tls=(--cacert "$tls/ca.pem") host=localhost
  fi
  coproc server { exec python3 bench/net_server.py "$mode" "${certs[@]}"; }
  read -r port <&"${server[0]}"
  config=$(mktemp)
  for ((i = 0; i < pages; i++)); do
    printf 'url = "%s://%s:%s/archive/"\noutput = "/dev/null"\n' "$scheme" "$host" "$port" >>"$config"
  done
  start=$(date +%s.%N)
  curl -s "${curl_tls[@]}" --http1.1 -H 'Connection: keep-alive' --data "$body" -K "$config"
  curl_s=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { print b - a }')
  read -r ours_s _ connect_s < <(scripts/wine-run "$arch" "$build/wineprefix" \
                        "$build/bench/net_client_bench.exe" "$port" "$pages" "$scheme")
  kill "$server_PID" 2>/dev/null || true
  wait "$server_PID" 2>/dev/null || true
  rm -f "$config"
  printf '%-5s %-8s %d pages of 30 KB | curl %.3f s (%.0f pages/s) | ours %.3f s (%.0f pages/s) | ours/curl time %.2fx | our connect %.0f ms\n' \
    "$scheme" "$mode" "$pages" "$curl_s" "$(awk -v p="$pages" -v t="$curl_s" 'BEGIN { print p / t }')" \
    "$ours_s" "$(awk -v p="$pages" -v t="$ours_s" 'BEGIN { print p / t }')" \
    "$(awk -v a="$ours_s" -v b="$curl_s" 'BEGIN { print a / b }')" "$(awk -v c="$connect_s" 'BEGIN { print c * 1000 }')"
}

for scheme in http https; do
  for mode in sized chunked; do measure "$scheme" "$mode"; done
done
