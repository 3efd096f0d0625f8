#!/usr/bin/env bash
# Instructions per report of whole conversion runs, counted by callgrind (repeatable,
# whatever else the machine does), over a generated campaign of 1,000 reports, followed by
# the wall-time targets of the timed benchmark (velk_bench, best of 3):
#   bench/count_instructions.sh [build folder, default build-bench] [target per report]
# Exits non-zero when a run takes more than the target (default 30,000) per report or a
# timed target is missed; VELK_COUNT_ONLY=1 leaves the timed benchmark out.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-bench}"
target="${2:-30000}"
reports=1000
command -v valgrind > /dev/null || { echo "valgrind is needed" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/campaign_generator" --reports "$reports" --seed 7 --dir "$work" > /dev/null

missed=0
count() {  # program type
  rm -f "$work/OUT.TXT" "$work/callgrind.out"
  (cd "$work" && printf '%s\nOUT.TXT\nLISTE.LST\n' "$2" |
    valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.out" "$OLDPWD/$build/$1" \
      > /dev/null 2> "$work/valgrind.log")
  local total
  total=$(sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$work/valgrind.log")
  local per_report=$((total / reports))
  printf '%-8s type %s: %d instructions per report (target %d)\n' "$1" "$2" "$per_report" "$target"
  [ "$per_report" -le "$target" ] || missed=1
}
count novrale 0
count novrale 5
count quelmar 4
if [ "${VELK_COUNT_ONLY:-0}" != 1 ]; then
  echo "wall time (velk_bench --repeat 3):"
  "$build/bench/velk_bench" --repeat 3 > "$work/timed.txt" || missed=1
  sed -n '/^targets/,$p' "$work/timed.txt"
fi
exit "$missed"
