# Sourced by the benchmarks (bench/runs.sh has the figures).

# program_pid: the Linux process of the program under Wine started with VEX_BENCH_RUN=$work
# in its environment; nothing when there is none.
program_pid() {
  local environ pid
  for environ in /proc/[0-9]*/environ; do
    pid=${environ#/proc/}; pid=${pid%/environ}
    grep -qsz "^VEX_BENCH_RUN=$work\$" "$environ" || continue
    [[ $(readlink "/proc/$pid/exe") == *wine* && $(tr '\0' '\n' <"/proc/$pid/cmdline" | head -1) == *vexlets.exe ]] ||
      continue
    echo "$pid"
    return 0
  done
}

# curl_refresh TOTAL: curl posts the form bodies the program sends
# with its default filters for TOTAL entries to the local archive on 127.0.0.1:80 over one
# keep-alive connection, or over PARALLEL at once, asking for gzip (--compressed) when
# COMPRESSED is set; prints the milliseconds it took. Writes its list of requests into $work.
curl_refresh() {
  local total=$1 config=$work/curl-$1.config t0 options=()
  : >"$config"
  for ((start = 0; start < total; start += 20)); do
    ((start == 0)) || echo next >>"$config"
    printf 'url = "http://127.0.0.1/archive/"\ndata = "action=archive&sort=DATE&title=&start=%d&difficulty=0&platform=&lang=&type=ALL"\noutput = "/dev/null"\n' \
      "$start" >>"$config"
    # "next" forgets every option before it.
    [[ -z ${COMPRESSED:-} ]] || echo compressed >>"$config"
  done
  ((${PARALLEL:-1} > 1)) && options=(--parallel --parallel-max "$PARALLEL")
  t0=$(date +%s.%N)
  # In parallel mode curl draws its progress meter, silent or not.
  curl -s --http1.1 -H 'Connection: keep-alive' "${options[@]}" -K "$config" 2>/dev/null
  awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%.0f\n", (b - a) * 1000 }'
}
