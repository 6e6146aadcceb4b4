#!/usr/bin/env bash
# test_apt_i386_fallback.sh SCRIPT: runs the set-up's 32-bit fallback against a fake mirror
# on disk and a stand-in apt-get, without network or root.
#
# The stand-in apt-get claims one suite whose i386 index it could not fetch (on the fake
# mirror) and one it holds (absent from disk: fetching it would fail the test). Its simulated
# install of wine32:i386 names libfoo:i386 as unresolvable, and once libfoo's package is
# given, libbar:i386; with FAKE_GONE set it also names libgone:i386, which no index has.
set -euo pipefail
script=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0 passed=0
check() {  # check NAME COMMAND...: one named expectation
  local name=$1; shift
  if "$@"; then passed=$((passed + 1)); else echo "FAILED: $name" >&2; failures=$((failures + 1)); fi
}

# -- the fake mirror --
mirror=$tmp/mirror
mkdir -p "$mirror/dists/sec/main/binary-i386"
entry() {  # entry NAME VERSION ARCH: a package file in the pool and its index paragraph
  local file=pool/main/${1:0:1}/$1/$1_$2_$3.deb
  mkdir -p "$mirror/$(dirname "$file")"
  echo "$1 $2 $3" >"$mirror/$file"
  printf 'Package: %s\nVersion: %s\nArchitecture: %s\nFilename: %s\nSize: 9\nSHA256: %s\n\n' \
    "$1" "$2" "$3" "$file" "$(sha256sum <"$mirror/$file" | cut -d' ' -f1)"
}
{
  entry libfoo 1.0 i386
  entry libbar 2.0 i386
  entry libbar 10.0 i386   # newer by Debian's rules, older as text
  entry libbar 11.0 amd64  # another architecture's build is never taken
} | xz >"$mirror/dists/sec/main/binary-i386/Packages.xz"

# -- the stand-in apt-get --
bin=$tmp/bin
mkdir -p "$bin"
cat >"$bin/apt-get" <<'EOF'
#!/usr/bin/env bash
case $1 in
  indextargets)
    [[ " $* " == *" --no-release-info "* ]] &&
      echo "file://$FAKE_MIRROR/dists/sec/main/binary-i386/Packages file://$FAKE_MIRROR/"
    echo "file://$FAKE_MIRROR-held/dists/main/main/binary-i386/Packages file://$FAKE_MIRROR-held/"
    ;;
  install)
    simulate=no given=
    for a in "${@:2}"; do
      case $a in -s) simulate=yes ;; -*) ;; *) given+=" ${a##*/}" ;; esac
    done
    if [[ $simulate == no ]]; then echo "$given" >"$FAKE_INSTALLED"; exit 0; fi
    unmet=()
    [[ $given == *" libfoo_"* ]] || unmet+=(" libwine:i386 : Depends: libfoo:i386 (>= 1.0) but it is not going to be installed")
    [[ $given == *" libfoo_"* && $given != *" libbar_"* ]] &&
      unmet+=(" libfoo:i386 : Depends: libbar:i386 (>= 2.0) but it is not going to be installed")
    [[ -n ${FAKE_GONE:-} ]] &&
      unmet+=(" libwine:i386 : PreDepends: libgone:i386 but it is not going to be installed")
    ((${#unmet[@]} == 0)) && exit 0
    echo "The following packages have unmet dependencies:"
    printf '%s\n' "${unmet[@]}"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100
    ;;
esac
exit 1
EOF
chmod +x "$bin/apt-get"
export PATH=$bin:$PATH FAKE_MIRROR=$mirror FAKE_INSTALLED=$tmp/installed

# -- resolving over rounds, the newest version, nothing else --
out=$(VEX_APT_WORK=$tmp/w1 bash "$script" --dry-run wine32:i386 2>&1) || true
check "dry run lists what it would add" [ "$out" = $'libbar 10.0\nlibfoo 1.0' ]
check "dry run installs nothing" [ ! -e "$tmp/installed" ]

VEX_APT_WORK=$tmp/w2 bash "$script" wine32:i386 >/dev/null 2>&1 || true
check "install hands apt the package and the fetched files" \
  [ "$(cat "$tmp/installed" 2>/dev/null)" = " wine32:i386 libfoo_1.0_i386.deb libbar_10.0_i386.deb" ]
check "fetched files are the pool's" cmp -s "$tmp/w2/libbar_10.0_i386.deb" "$mirror/pool/main/l/libbar/libbar_10.0_i386.deb"

# -- failures: one line and a non-zero status --
out=$(FAKE_GONE=1 bash "$script" wine32:i386 2>&1) && status=0 || status=$?
check "a package no index has fails the fallback" [ "$status" -ne 0 ]
check "its failure is one line naming the request" \
  [ "$out" = "apt-i386-fallback: cannot resolve wine32:i386 (Unable to correct problems, you have held broken packages.)" ]

echo "tampered" >"$mirror/pool/main/l/libbar/libbar_10.0_i386.deb"
out=$(bash "$script" wine32:i386 2>&1) && status=0 || status=$?
check "a package that does not match its index is refused" \
  [ "$status" -ne 0 -a "$out" = "apt-i386-fallback: file://$mirror/pool/main/l/libbar/libbar_10.0_i386.deb does not match its index" ]

rm "$mirror/dists/sec/main/binary-i386/Packages.xz"
out=$(bash "$script" wine32:i386 2>&1) && status=0 || status=$?
check "an index that cannot be fetched fails the fallback" \
  [ "$status" -ne 0 -a "$out" = "apt-i386-fallback: cannot fetch file://$mirror/dists/sec/main/binary-i386/Packages" ]

echo "$passed passed, $failures failed"
((failures == 0))
