#!/usr/bin/env bash
# make bench: korvel-cli (and the window, when built) against a plain line
# scan of the same synthetic drawing, in one run side by side.
#
#   KORVEL_BENCH_MB     size of the main drawings in MB of 1,000,000 bytes (default 200)
#   KORVEL_BENCH_RUNS   alternating runs of each program (default 5)
#   KORVEL_BENCH_HUGE   size of the flat-memory drawing in MB (default 2000; 0 skips it)
#   KORVEL_BENCH_SEED   generator seed (default 20240305)
set -euo pipefail
build=${1:-build}
mb=${KORVEL_BENCH_MB:-200}
runs=${KORVEL_BENCH_RUNS:-5}
huge=${KORVEL_BENCH_HUGE:-2000}
seed=${KORVEL_BENCH_SEED:-20240305}

for p in korvel-cli korvel_generate_dxf korvel_line_scan korvel_timed_run; do
  if [ ! -x "$build/$p" ]; then
    echo "bench: $build/$p is missing; build first (make build)" >&2
    exit 1
  fi
done
dir="$build/bench-data"
mkdir -p "$dir/out"

# drawing MB EOL(crlf|lf): generates once, prints the path.
drawing() {
  local path="$dir/survey-$1MB-$2-$seed.dxf" lf=()
  [ "$2" = lf ] && lf=(--lf)
  if [ ! -s "$path" ]; then
    "$build/korvel_generate_dxf" "$path.part" "$1" --seed "$seed" "${lf[@]}" >&2
    mv "$path.part" "$path"
  fi
  echo "$path"
}

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

declare -a table
# measure NAME DRAWING COMMAND...: alternating runs against the line scan.
measure() {
  local name=$1 file=$2
  shift 2
  local scan=("$build/korvel_line_scan" "$file") t rss peak=0 i
  local -a ct=() st=()
  "$build/korvel_timed_run" "${scan[@]}" >/dev/null  # warm the page cache
  "$build/korvel_timed_run" "$@" >/dev/null
  for ((i = 1; i <= runs; i++)); do
    read -r t _ < <("$build/korvel_timed_run" "${scan[@]}")
    st+=("$t")
    read -r t rss _ < <("$build/korvel_timed_run" "$@")
    ct+=("$t")
    ((rss > peak)) && peak=$rss
  done
  local c s bytes
  c=$(median "${ct[@]}")
  s=$(median "${st[@]}")
  bytes=$(stat -c %s "$file")
  table+=("$(awk -v n="$name" -v c="$c" -v s="$s" -v b="$bytes" -v r="$peak" 'BEGIN {
    printf "| %-34s | %6.3f s | %6.3f s | %5.2f x | %7.1f MB/s | %5.1f MiB |", n, c, s, c / s, b / 1e6 / c, r / 1024 }')")
  echo "${table[-1]}"
}

# Remembers the data file's hash per scenario and says whether it changed
# since the previous build's run.
check_hash() {
  local name=$1 data=$2 store="$dir/hashes" sum old
  sum=$(sha256sum "$data" | cut -d' ' -f1)
  touch "$store"
  old=$(awk -v n="$name" '$1 == n {print $2}' "$store")
  if [ -z "$old" ]; then
    echo "  output $name: recorded $sum"
  elif [ "$old" = "$sum" ]; then
    echo "  output $name: identical to the previous build"
  else
    echo "  output $name: DIFFERENT from the previous build ($old)" >&2
    hash_changed=1
  fi
  awk -v n="$name" '$1 != n' "$store" >"$store.new"
  echo "$name $sum" >>"$store.new"
  mv "$store.new" "$store"
}

crlf=$(drawing "$mb" crlf)
lf=$(drawing "$mb" lf)
out="$dir/out"
cli=("$build/korvel-cli" -q -o "$out")
heavy=(--fields N,X,Y,Z,C --code "Entity type,Layer,Handle,Counter,Entity number"
  --set NumberPrefix=P --set XPrefix=E= --set YPrefix=N= --set ZPrefix=H=
  --set XDecimals=9 --set YDecimals=9 --set ZDecimals=9)
for f in ProcessSplines IncludeSplineFitPoints ProcessCircles ProcessArcs ProcessEllipses \
  ProcessBlocks ProcessText ProcessMText; do
  heavy+=(--set "$f=1")
done

echo "| scenario                           | korvel   | scan     | ratio   | throughput   | peak RSS  |"
echo "|------------------------------------|----------|----------|---------|--------------|-----------|"
hash_changed=0
stem() { local b; b=$(basename "$1"); echo "${b%%.*}"; }

measure "CLI, default settings, CR LF" "$crlf" "${cli[@]}" "$crlf"
check_hash default-crlf "$out/$(stem "$crlf").txt"
measure "CLI, default settings, LF" "$lf" "${cli[@]}" "$lf"
check_hash default-lf "$out/$(stem "$lf").txt"
measure "CLI, every field and type, 9 dec." "$crlf" "${cli[@]}" "${heavy[@]}" "$crlf"
check_hash heavy-crlf "$out/$(stem "$crlf").txt"

if [ -x "$build/korvel_window_bench" ]; then
  # The window's own run path, offscreen, timed inside the program.
  QT_QPA_PLATFORM=offscreen "$build/korvel_window_bench" "$crlf" "$out" "$runs" \
    "$build/korvel-cli" | sed 's/^/  /'
  check_hash window-crlf "$out/$(stem "$crlf").txt"
fi

# Flat memory: peak RSS of a small and of a huge drawing.
small=$(drawing 10 crlf)
read -r _ rss_small _ < <("$build/korvel_timed_run" "${cli[@]}" "$small")
echo "  peak RSS, 10 MB drawing: $((rss_small / 1024)) MiB ($rss_small KiB)"
if [ "$huge" -gt 0 ]; then
  big=$(drawing "$huge" crlf)
  read -r t rss_big _ < <("$build/korvel_timed_run" "${cli[@]}" "$big")
  echo "  peak RSS, $huge MB drawing: $((rss_big / 1024)) MiB ($rss_big KiB), $t s"
  echo "  difference: $(((rss_big - rss_small))) KiB"
  rm -f "$big" "$out/$(stem "$big").txt"
fi

# korvel-cli -j: a batch of drawings one at a time and several at a time.
"$(dirname "$0")/jobs.sh" "$build"
exit "$hash_changed"
