#!/usr/bin/env bash
# The end-to-end tests' harness around the local archive server (a Linux process).
#
#   run_e2e.sh run WORK SERVER_PY TEST_EXE EMULATOR...  clears WORK, starts the server on
#       127.0.0.1:80, runs TEST_EXE through the emulator with the harness described in its
#       environment, stops the server whatever happened
#
# The server also speaks HTTPS, with certificates of the project's own test authority (made
# once into WORK's sibling "tls", or $VEX_E2E_TLS; the tests trust the authority in their
# Wine prefix): 443 and 4443 with a good certificate for localhost and 127.0.0.1, 4444 a
# self-signed one, 4445 an expired one, 4446 one for another name, 4447 a revoked one (whose
# authority's revocation list the server hands out at /_crl).
# Plain HTTP on [::1]:4448 too (IPv6 alone).
#
# Where it may (as root), `run` gives the tests names of their own without touching the
# machine's files: in a mount namespace of its own, a hosts file that names dual.vexlets.test
# for both ::1 and 127.0.0.1, and a resolver that asks the server (127.0.0.153, UDP port 53),
# which refuses every other name, or leaves it unanswered while a test says so. Tests that
# need them skip where they are missing.
#   run_e2e.sh server-start WORK SERVER_PY   starts the server in the background (its process
#       id in WORK/server.pid, its output in WORK/server.log) and waits for its ready line
#   run_e2e.sh server-stop WORK              stops the server of WORK/server.pid, if any
#
# The tests call server-stop and server-start themselves (Wine starts Linux programs given
# by absolute path) to see the program meet a refused connection.
#   run_e2e.sh stacks-start WORK   starts web servers others wrote in front of the archive
#       (real_servers.py start: ports 8101 to 8104) and waits until every one accepts
#       connections
#   run_e2e.sh stacks-stop WORK    stops them, if they run
set -euo pipefail

# Started from Wine, the environment's PATH may be a Windows one.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin:${PATH:-}
# Run by Debian's own Python, for which its packages of those servers are made.
real_servers() { /usr/bin/python3 "$(dirname "$(readlink -f "$0")")/real_servers.py" "$@"; }

# The server lets go of its ports one after another as it shuts down: while it is at it,
# WORK/server.stopping holds its process id, and a start waits for it to end.
server_stop() {
  local work=$1 pid
  [[ -f $work/server.pid ]] || return 0
  pid=$(cat "$work/server.pid")
  [[ $pid =~ ^[0-9]+$ ]] || { rm -f "$work/server.pid"; return 0; }
  echo "$pid" >"$work/server.stopping"
  rm -f "$work/server.pid"
  if kill "$pid" 2>/dev/null; then
    for _ in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$work/server.stopping"
}

wait_for_stopped() {
  local work=$1 pid
  [[ -f $work/server.stopping ]] || return 0
  pid=$(cat "$work/server.stopping" 2>/dev/null) || return 0
  for _ in $(seq 200); do
    [[ -f $work/server.stopping ]] && kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.05
  done
}

tls_dir() { echo "${VEX_E2E_TLS:-$(dirname "$1")/tls}"; }

names_server=127.0.0.153

# The hosts file, resolver and name service switch of WORK/names over the machine's, in this
# mount namespace only.
private_names() {
  local names=$1/names
  mkdir -p "$names"
  { cat /etc/hosts; printf '127.0.0.1 dual.vexlets.test\n::1 dual.vexlets.test\n'; } >"$names/hosts"
  printf 'nameserver %s\noptions timeout:30 attempts:1\n' "$names_server" >"$names/resolv.conf"
  { grep -v '^hosts:' /etc/nsswitch.conf 2>/dev/null || true; echo 'hosts: files dns'; } >"$names/nsswitch.conf"
  local file
  for file in hosts resolv.conf nsswitch.conf; do
    mount --bind "$names/$file" "/etc/$file" || { echo "run_e2e: no names of the tests' own" >&2; return 0; }
  done
  export VEX_E2E_NAMES=1
}

# The server answers names where the resolver of private_names asks it.
names_args() {
  if cmp -s /etc/resolv.conf "$1/names/resolv.conf" 2>/dev/null; then echo "--dns $names_server"; fi
}

server_start() {
  local work=$1 server=$2 pid tls
  mkdir -p "$work"
  server_stop "$work"
  wait_for_stopped "$work"
  tls=$(tls_dir "$work")
  bash "$(dirname "$server")/make_test_certs.sh" "$tls"
  : >"$work/server.log"
  # The server outlives this shell: it must hold none of the caller's descriptors (a test
  # runner waits for its output pipe to close).
  (
    for fd in /proc/$BASHPID/fd/*; do
      fd=${fd##*/}
      if ((fd > 2)); then eval "exec $fd>&-"; fi
    done 2>/dev/null
    # shellcheck disable=SC2046
    exec python3 "$server" --host 127.0.0.1 --port 80 --tls "$tls/localhost.pem" "$tls/localhost.key" \
      --crl "$tls/ca.crl" --tls-also 4447 "$tls/revoked.pem" "$tls/revoked.key" \
      --listen-also ::1 4448 $(names_args "$work") \
      --tls-also 4443 "$tls/localhost.pem" "$tls/localhost.key" \
      --tls-also 4444 "$tls/self_signed.pem" "$tls/self_signed.key" \
      --tls-also 4445 "$tls/expired.pem" "$tls/expired.key" \
      --tls-also 4446 "$tls/wrong_name.pem" "$tls/wrong_name.key"
  ) </dev/null >"$work/server.log" 2>&1 &
  pid=$!
  echo "$pid" >"$work/server.pid"
  for _ in $(seq 200); do
    grep -q "^archive server listening on" "$work/server.log" && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  echo "run_e2e: the archive server did not start:" >&2
  cat "$work/server.log" >&2
  return 1
}

command=${1:-}
shift || true
case $command in
  server-start) server_start "$@" ;;
  server-stop) server_stop "$@" ;;
  stacks-start) real_servers start "$@" ;;
  stacks-stop) real_servers stop "$@" ;;
  run)
    if [[ -z ${VEX_E2E_NAMESPACE:-} ]] && unshare -m --propagation private true 2>/dev/null; then
      VEX_E2E_NAMESPACE=1 exec unshare -m --propagation private bash "$0" run "$@"
    fi
    work=$1 server=$2 test_exe=$3
    shift 3
    mkdir -p "$work"
    server_stop "$work"  # one left behind by a run that was killed
    find "$work" -mindepth 1 -delete
    if [[ -n ${VEX_E2E_NAMESPACE:-} ]]; then private_names "$work"; fi
    trap 'real_servers stop "$work"; server_stop "$work"' EXIT
    server_start "$work" "$server"
    export VEX_E2E_WORK=$work VEX_E2E_SERVER=$server VEX_E2E_CONTROL=$(readlink -f "$0")
    export VEX_E2E_TLS=$(tls_dir "$work")
    status=0
    "$@" "$test_exe" || status=$?
    if ((status != 0)); then
      echo "run_e2e: archive server output:" >&2
      tail -n 40 "$work/server.log" >&2 || true
    fi
    exit $status
    ;;
  *)
    echo "usage: run_e2e.sh run WORK SERVER_PY TEST_EXE EMULATOR... | server-start WORK SERVER_PY | server-stop WORK" >&2
    exit 2
    ;;
esac
