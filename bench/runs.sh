# runs.sh: sourced by the benchmark scripts. A figure is taken in RUNS runs (3 by default),
# each beside its reference taken in the same run, and printed as its median with the runs
# after it in brackets, in the order they were taken; a ratio is the median of the runs'
# own ratios. Beside every figure against curl stands curl's time for one page: a few tenths
# of a millisecond from the local archive on a quiet machine, more when something else
# loaded the machine (then the ratios say little; quote figures of a quiet machine only).

runs=${RUNS:-3}

# median FILE: of the numbers in FILE, one a line.
median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# figure FILE FORMAT [UNIT]: "<median><unit> (<run> <run> <run>)", each number in FORMAT.
figure() {
  printf "$2%s (%s)" "$(median "$1")" "${3:-}" "$(awk -v f="$2" '{ printf (NR > 1 ? " " : "") f, $1 }' "$1")"
}

# against NAME FILE REFERENCE_NAME REFERENCE_FILE [PAGES]: milliseconds (a run a line)
# against the reference's of the same runs; with PAGES, the reference's time for one page.
against() {
  local name=$1 ours=$2 reference_name=$3 reference=$4 pages=${5:-} work
  work=$(mktemp -d)
  paste -d' ' "$ours" "$reference" | awk '{ printf "%.4f\n", $1 / $2 }' >"$work/ratio"
  printf '%s %s | %s %s' "$name" "$(figure "$ours" '%.0f' ' ms')" "$reference_name" "$(figure "$reference" '%.0f' ' ms')"
  if [[ -n $pages ]]; then
    awk -v n="$pages" '{ printf "%.4f\n", $1 / n }' "$reference" >"$work/page"
    printf ', %s a page' "$(figure "$work/page" '%.2f' ' ms')"
  fi
  printf ' | %s/%s %s\n' "$name" "$reference_name" "$(figure "$work/ratio" '%.2f' 'x')"
  rm -rf "$work"
}

# above NAME FILE REFERENCE_NAME REFERENCE_FILE: milliseconds (a run a line), the reference's
# of the same runs, and how many more than the reference each run took.
above() {
  local name=$1 ours=$2 reference_name=$3 reference=$4 work
  work=$(mktemp -d)
  paste -d' ' "$ours" "$reference" | awk '{ print $1 - $2 }' >"$work/difference"
  printf '%s %s | %s %s | above it %s\n' "$name" "$(figure "$ours" '%.0f' ' ms')" "$reference_name" \
    "$(figure "$reference" '%.0f' ' ms')" "$(figure "$work/difference" '%.0f' ' ms')"
  rm -rf "$work"
}
