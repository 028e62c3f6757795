#!/usr/bin/env bash
# Two builds of korvel-cli against each other and against the line scan, on
# the same drawing, in alternating runs: before/after figures of a change
# from one session on one machine.
#
#   bench/compare.sh BUILD_BEFORE BUILD_AFTER DRAWING [KORVEL-CLI OPTIONS...]
#
#   KORVEL_BENCH_RUNS   alternating rounds (default 9)
#
# Prints, for each build, the medians of wall time and processor time (user +
# system) and their ratios to the line scan's, with the lowest and highest
# ratio of the rounds as the spread. The line scan comes from BUILD_AFTER.
set -euo pipefail
before=$1 after=$2 drawing=$3
shift 3
runs=${KORVEL_BENCH_RUNS:-9}
timed="$after/korvel_timed_run"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

declare -a sw sc bw bc aw ac brw brc arw arc
"$timed" "$after/korvel_line_scan" "$drawing" >/dev/null  # warm the page cache
for ((i = 1; i <= runs; i++)); do
  read -r w _ c < <("$timed" "$after/korvel_line_scan" "$drawing")
  sw+=("$w") sc+=("$c")
  read -r w _ c < <("$timed" "$before/korvel-cli" -q -o "$out" "$@" "$drawing")
  bw+=("$w") bc+=("$c")
  brw+=("$(awk -v a="$w" -v b="${sw[-1]}" 'BEGIN {print a / b}')")
  brc+=("$(awk -v a="$c" -v b="${sc[-1]}" 'BEGIN {print a / b}')")
  read -r w _ c < <("$timed" "$after/korvel-cli" -q -o "$out" "$@" "$drawing")
  aw+=("$w") ac+=("$c")
  arw+=("$(awk -v a="$w" -v b="${sw[-1]}" 'BEGIN {print a / b}')")
  arc+=("$(awk -v a="$c" -v b="${sc[-1]}" 'BEGIN {print a / b}')")
done

range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 {lo = $1} {hi = $1} END {printf "%.2f-%.2f", lo, hi}'; }
row() {  # NAME WALL[] CPU[] WALLRATIO[] CPURATIO[]
  printf '| %-6s | %6.3f s | %6.3f s | %5.2f x (%s) | %5.2f x (%s) |\n' "$1" "$2" "$3" "$4" "$5" "$6" "$7"
}
echo "$(basename "$drawing"), $runs alternating rounds, medians (spread of the ratio)"
echo "| build  | wall     | cpu      | wall / scan          | cpu / scan           |"
echo "|---|---|---|---|---|"
printf '| %-6s | %6.3f s | %6.3f s | | |\n' scan "$(median "${sw[@]}")" "$(median "${sc[@]}")"
row before "$(median "${bw[@]}")" "$(median "${bc[@]}")" "$(median "${brw[@]}")" "$(range "${brw[@]}")" \
  "$(median "${brc[@]}")" "$(range "${brc[@]}")"
row after "$(median "${aw[@]}")" "$(median "${ac[@]}")" "$(median "${arw[@]}")" "$(range "${arw[@]}")" \
  "$(median "${arc[@]}")" "$(range "${arc[@]}")"
