#!/usr/bin/env bash
# Heights and numbers from labels on the 200 MB drawing with a spot height
# label beside every POINT (and a decoy 3 m away beside every fifth):
# korvel-cli plain, with the heights joined, and with heights and numbers
# joined, against the line scan, in alternating rounds.
#
#   bench/labels.sh BUILD
#
#   KORVEL_BENCH_MB     drawing size in MB of 1,000,000 bytes (default 200)
#   KORVEL_BENCH_RUNS   alternating rounds (default 7)
#   KORVEL_BENCH_SEED   generator seed (default 20240305)
#
# Prints for each run the medians of wall time, processor time (user +
# system) and peak resident memory, the wall and processor ratios to the
# line scan of the same round with their spread, and what the join adds to
# the plain run's wall time, as a median of the rounds' differences and as a
# ratio to the plain run. Checks that the joined data file has the plain
# run's lines but for their Z, and that the join paired every label's point.
set -euo pipefail
build=${1:-build}
mb=${KORVEL_BENCH_MB:-200}
runs=${KORVEL_BENCH_RUNS:-7}
seed=${KORVEL_BENCH_SEED:-20240305}
dir="$build/bench-data"
mkdir -p "$dir/labels-out"
drawing="$dir/labels-$mb""MB-$seed.dxf"
if [ ! -s "$drawing" ]; then
  "$build/korvel_generate_dxf" "$drawing.part" "$mb" --seed "$seed" --labels >&2
  mv "$drawing.part" "$drawing"
fi
out="$dir/labels-out"
timed="$build/korvel_timed_run"
heights=(--heights-from-text 1 --label-layers TEXT)
both=(--heights-from-text 1 --numbers-from-text 1)

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 {lo = $1} {hi = $1} END {printf "%.2f-%.2f", lo, hi}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {print a / b}'; }

declare -a sw sc pw pc pm hw hc hm bw bc bm phw pbw hadd badd hrw hrc brw brc prw prc
"$timed" "$build/korvel_line_scan" "$drawing" >/dev/null  # warm the page cache
for ((i = 1; i <= runs; i++)); do
  read -r w _ c < <("$timed" "$build/korvel_line_scan" "$drawing")
  sw+=("$w") sc+=("$c")
  read -r w m c < <("$timed" "$build/korvel-cli" -q -o "$out/plain" "$drawing")
  pw+=("$w") pc+=("$c") pm+=("$m")
  prw+=("$(ratio "$w" "${sw[-1]}")") prc+=("$(ratio "$c" "${sc[-1]}")")
  read -r w m c < <("$timed" "$build/korvel-cli" -q -o "$out/heights" "${heights[@]}" "$drawing")
  hw+=("$w") hc+=("$c") hm+=("$m")
  hrw+=("$(ratio "$w" "${sw[-1]}")") hrc+=("$(ratio "$c" "${sc[-1]}")")
  hadd+=("$(awk -v a="$w" -v b="${pw[-1]}" 'BEGIN {print a - b}')")
  phw+=("$(awk -v a="$w" -v b="${pw[-1]}" 'BEGIN {print (a - b) / b}')")
  read -r w m c < <("$timed" "$build/korvel-cli" -q -o "$out/both" "${both[@]}" "$drawing")
  bw+=("$w") bc+=("$c") bm+=("$m")
  brw+=("$(ratio "$w" "${sw[-1]}")") brc+=("$(ratio "$c" "${sc[-1]}")")
  badd+=("$(awk -v a="$w" -v b="${pw[-1]}" 'BEGIN {print a - b}')")
  pbw+=("$(awk -v a="$w" -v b="${pw[-1]}" 'BEGIN {print (a - b) / b}')")
done

name=$(basename "$drawing" .dxf)
# The joined lines are the plain ones but for the Z of the points that took a label.
cut -d, -f1-3,5- "$out/plain/$name.txt" | cmp -s - <(cut -d, -f1-3,5- "$out/heights/$name.txt") ||
  { echo "labels: the joined data file differs from the plain one beyond Z" >&2; exit 1; }
"$build/korvel-cli" -o "$out/heights" "${heights[@]}" "$drawing" | grep -F "Note, heights"

row() {  # NAME WALL[] CPU[] RSS[] WALLRATIO[] CPURATIO[]
  printf '| %-16s | %6.3f s | %6.3f s | %7.1f MiB | %5.2f x (%s) | %5.2f x (%s) |\n' "$1" "$2" "$3" \
    "$(awk -v k="$4" 'BEGIN {print k / 1024}')" "$5" "$6" "$7" "$8"
}
echo "$(basename "$drawing"), $runs alternating rounds, medians (spread)"
echo "| run              | wall     | cpu      | peak RSS    | wall / scan        | cpu / scan         |"
echo "|---|---|---|---|---|---|"
printf '| %-16s | %6.3f s | %6.3f s | | | |\n' "line scan" "$(median "${sw[@]}")" "$(median "${sc[@]}")"
row plain "$(median "${pw[@]}")" "$(median "${pc[@]}")" "$(median "${pm[@]}")" \
  "$(median "${prw[@]}")" "$(range "${prw[@]}")" "$(median "${prc[@]}")" "$(range "${prc[@]}")"
row "heights" "$(median "${hw[@]}")" "$(median "${hc[@]}")" "$(median "${hm[@]}")" \
  "$(median "${hrw[@]}")" "$(range "${hrw[@]}")" "$(median "${hrc[@]}")" "$(range "${hrc[@]}")"
row "heights, numbers" "$(median "${bw[@]}")" "$(median "${bc[@]}")" "$(median "${bm[@]}")" \
  "$(median "${brw[@]}")" "$(range "${brw[@]}")" "$(median "${brc[@]}")" "$(range "${brc[@]}")"
printf 'the join adds to the plain wall time (medians of the rounds): heights %.3f s = %.2f x plain (%s), heights and numbers %.3f s = %.2f x plain (%s)\n' \
  "$(median "${hadd[@]}")" "$(median "${phw[@]}")" "$(range "${phw[@]}")" \
  "$(median "${badd[@]}")" "$(median "${pbw[@]}")" "$(range "${pbw[@]}")"
