#!/usr/bin/env bash
# run_net.sh WINDOWS_BUILD_DIR: our client (under Wine) and curl over one keep-alive
# connection each, against the same loopback server, sized and chunked, RUNS runs each
# (bench/runs.sh); over HTTP, then over HTTPS (certificates of the project's test authority,
# which the build tree's Wine prefix is told to trust; curl gets it with --cacert).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/runs.sh
build=$(cd "$1" && pwd)
arch=win64; [[ $build == *i686* ]] && arch=win32
pages=${PAGES:-400}
body='action=archive&sort=DATE&title=&start=0&difficulty=0&platform=&lang=&type=ALL'
tls=$build/tls
bash tools/make_test_certs.sh "$tls"
scripts/wine-run "$arch" "$build/wineprefix" "$build/tests/e2e/vexdrive.exe" trust-root "Z:$tls/ca.der" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {  # scheme (http or https), mode (sized or chunked)
  local scheme=$1 mode=$2 config start ours_s connect_s
  local certs=() curl_tls=() host=127.0.0.1
  if [[ $scheme == https ]]; then
    certs=("$tls/localhost.pem" "$tls/localhost.key") curl_tls=(--cacert "$tls/ca.pem") host=localhost
  fi
  coproc server { exec python3 bench/net_server.py "$mode" "${certs[@]}"; }
  read -r port <&"${server[0]}"
  config=$work/curl.config
  : >"$config"
  for ((i = 0; i < pages; i++)); do
    printf 'url = "%s://%s:%s/archive/"\noutput = "/dev/null"\n' "$scheme" "$host" "$port" >>"$config"
  done
  : >"$work/curl" ; : >"$work/ours" ; : >"$work/connect"
  for _ in $(seq "$runs"); do
    start=$(date +%s.%N)
    curl -s "${curl_tls[@]}" --http1.1 -H 'Connection: keep-alive' --data "$body" -K "$config"
    awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }' >>"$work/curl"
    read -r ours_s _ connect_s < <(scripts/wine-run "$arch" "$build/wineprefix" \
                          "$build/bench/net_client_bench.exe" "$port" "$pages" "$scheme")
    awk -v s="$ours_s" 'BEGIN { printf "%.1f\n", s * 1000 }' >>"$work/ours"
    awk -v s="$connect_s" 'BEGIN { printf "%.1f\n", s * 1000 }' >>"$work/connect"
  done
  kill "$server_PID" 2>/dev/null || true
  wait "$server_PID" 2>/dev/null || true
  printf '%-5s %-8s %d pages of 30 KB | ' "$scheme" "$mode" "$pages"
  against ours "$work/ours" curl "$work/curl" "$pages"
  printf '%-5s %-8s our connect %s\n' "$scheme" "$mode" "$(figure "$work/connect" '%.0f' ' ms')"
}

for scheme in http https; do
  for mode in sized chunked; do measure "$scheme" "$mode"; done
done
