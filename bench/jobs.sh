#!/usr/bin/env bash
# korvel-cli -j: 64 copies of a 5 MB drawing converted one at a time and N at
# a time, in alternating rounds. Prints per -j value the medians of wall time
# and processor time (user + system, every thread) and the speed-up over -j 1
# with its spread (lowest and highest ratio of the rounds), and checks that
# every -j gives the data files and report of -j 1.
#
#   bench/jobs.sh BUILD
#
#   KORVEL_BENCH_RUNS   alternating rounds (default 5)
#   KORVEL_BENCH_JOBS   the -j values measured against 1 (default "2 4 0"; 0: one per core)
set -euo pipefail
build=${1:-build}
runs=${KORVEL_BENCH_RUNS:-5}
read -r -a jobs <<<"${KORVEL_BENCH_JOBS:-2 4 0}"
dir="$build/bench-data/jobs"
copies="$dir/drawings"
mkdir -p "$copies"
if [ ! -s "$copies/d64.dxf" ]; then
  "$build/korvel_generate_dxf" "$dir/one.dxf" 5 --seed 20240305 >&2
  for i in $(seq 1 64); do cp "$dir/one.dxf" "$copies/d$i.dxf"; done
fi
files=("$copies"/*.dxf)

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

# run J: one timed batch; prints "WALL CPU" and leaves its data files and report in $dir/out-J.
run() {
  local out="$dir/out-$1" w c
  rm -rf "$out"
  read -r w _ c < <("$build/korvel_timed_run" "$build/korvel-cli" -q -k -j "$1" -o "$out" \
    --report "$out/report.txt" "${files[@]}")
  echo "$w ${c:-0}"
}

declare -A wall cpu
all=(1 "${jobs[@]}")
run 1 >/dev/null  # warm the page cache
for ((i = 1; i <= runs; i++)); do
  for j in "${all[@]}"; do
    read -r w c < <(run "$j")
    wall[$j]="${wall[$j]:-} $w"
    cpu[$j]="${cpu[$j]:-} $c"
  done
done

# The same bytes whatever -j (the report's date-time line aside).
for j in "${jobs[@]}"; do
  diff -q -x report.txt "$dir/out-1" "$dir/out-$j" >/dev/null || {
    echo "jobs: -j $j wrote other data files than -j 1" >&2
    exit 1
  }
  cmp -s <(tail -n +2 "$dir/out-1/report.txt") <(tail -n +2 "$dir/out-$j/report.txt") || {
    echo "jobs: -j $j wrote another report than -j 1" >&2
    exit 1
  }
done

echo "korvel-cli -j, ${#files[@]} drawings of $(($(stat -c %s "${files[0]}") / 1000000)) MB, $(nproc) cores, $runs rounds:"
echo "| -j  | wall (median) | CPU (median) | speed-up | spread      |"
echo "|-----|---------------|--------------|----------|-------------|"
read -r -a w1 <<<"${wall[1]}"
for j in "${all[@]}"; do
  read -r -a wj <<<"${wall[$j]}"
  read -r -a cj <<<"${cpu[$j]}"
  ratios=()
  for ((i = 0; i < runs; i++)); do ratios+=("$(awk -v a="${w1[$i]}" -v b="${wj[$i]}" 'BEGIN {print a / b}')"); done
  lo=$(printf '%s\n' "${ratios[@]}" | sort -g | head -n 1)
  hi=$(printf '%s\n' "${ratios[@]}" | sort -g | tail -n 1)
  awk -v j="$j" -v w="$(median "${wj[@]}")" -v c="$(median "${cj[@]}")" -v w1="$(median "${w1[@]}")" \
    -v lo="$lo" -v hi="$hi" 'BEGIN {
    printf "| %-3s | %11.2f s | %10.2f s | %6.2f x | %4.2f-%4.2f x |\n", j, w, c, w1 / w, lo, hi }'
done
