#!/usr/bin/env bash
# make bench: korvel-cli against a plain line scan of the same synthetic
# drawing, alternating, and the medians of both.
#
#   KORVEL_BENCH_MB    size of the drawing in MB of 1,000,000 bytes (default 200)
#   KORVEL_BENCH_RUNS  runs of each program (default 5)
#   KORVEL_BENCH_LF    1 for LF line ends (default CR LF)
#   KORVEL_BENCH_SEED  generator seed (default 20240305)
set -euo pipefail
build=${1:-build}
mb=${KORVEL_BENCH_MB:-200}
runs=${KORVEL_BENCH_RUNS:-5}
seed=${KORVEL_BENCH_SEED:-20240305}
eol=crlf
lf_arg=()
if [ "${KORVEL_BENCH_LF:-0}" = 1 ]; then
  eol=lf
  lf_arg=(--lf)
fi

for p in korvel-cli korvel_generate_dxf korvel_line_scan korvel_timed_run; do
  if [ ! -x "$build/$p" ]; then
    echo "bench: $build/$p is missing; build first (make build)" >&2
    exit 1
  fi
done

dir="$build/bench-data"
mkdir -p "$dir/out"
drawing="$dir/survey-${mb}MB-${eol}-${seed}.dxf"
if [ ! -s "$drawing" ]; then
  echo "Generating $drawing ..."
  "$build/korvel_generate_dxf" "$drawing.part" "$mb" --seed "$seed" "${lf_arg[@]}"
  mv "$drawing.part" "$drawing"
fi
bytes=$(stat -c %s "$drawing")

# Every entity type of the drawing switched on: the heaviest ordinary run.
cli=("$build/korvel-cli" -q -o "$dir/out"
  --set ProcessText=1 --set ProcessBlocks=1 --set ProcessCircles=1 "$drawing")
scan=("$build/korvel_line_scan" "$drawing")

# Once each untimed, so that both start from a warm page cache.
"$build/korvel_timed_run" "${scan[@]}" >/dev/null
"$build/korvel_timed_run" "${cli[@]}" >/dev/null

cli_times=()
scan_times=()
peak_kib=0
for ((i = 1; i <= runs; i++)); do
  read -r t _ < <("$build/korvel_timed_run" "${scan[@]}")
  scan_times+=("$t")
  read -r t rss < <("$build/korvel_timed_run" "${cli[@]}")
  cli_times+=("$t")
  ((rss > peak_kib)) && peak_kib=$rss
  printf '  run %d: korvel-cli %.3f s, line scan %.3f s\n' "$i" "${cli_times[-1]}" "${scan_times[-1]}"
done

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
cli_median=$(median "${cli_times[@]}")
scan_median=$(median "${scan_times[@]}")
stem=$(basename "$drawing")
points=$(wc -l < "$dir/out/${stem%%.*}.txt")

awk -v b="$bytes" -v c="$cli_median" -v s="$scan_median" -v r="$peak_kib" -v n="$runs" \
    -v p="$points" -v f="$(basename "$drawing")" 'BEGIN {
  mb = b / 1e6
  printf "drawing            : %s (%.1f MB, %d data lines)\n", f, mb, p
  printf "korvel-cli         : %.3f s median of %d, %.1f MB/s\n", c, n, mb / c
  printf "line scan          : %.3f s median of %d, %.1f MB/s\n", s, n, mb / s
  printf "time ratio         : %.2f x the line scan\n", c / s
  printf "korvel-cli peak RSS: %.1f MiB\n", r / 1024
}'
