#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each, one after the other, on seeds made
# from tests/data, the example drawings and the benchmark's generator. Any
# finding (a crash, a sanitizer report, a failed check, a hang) fails the
# script and leaves the input under BUILD/fuzz-artifacts.
#
#   fuzz/run.sh BUILD [SECONDS] [TARGET...]      (default: 60 s, every target)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
seconds="${2:-60}"
shift $(( $# >= 2 ? 2 : 1 ))
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(file_pass foreign_groups configuration number_format blocks)

seeds="$build/fuzz-seeds"
if [ ! -d "$seeds" ]; then
  inputs=()
  while IFS= read -r -d '' f; do inputs+=("$f"); done < <(
    find "$root/tests/data" "$root/examples" -type f \( -iname '*.dxf' -o -iname '*.krv' \) -print0 2>/dev/null | sort -z)
  if [ -x "$build/korvel_fuzz_generate_dxf" ]; then
    "$build/korvel_fuzz_generate_dxf" "$build/fuzz-generated.dxf" 0.02 --seed 7 >/dev/null
    "$build/korvel_fuzz_generate_dxf" "$build/fuzz-generated-lf.dxf" 0.02 --lf --seed 9 >/dev/null
    inputs+=("$build/fuzz-generated.dxf" "$build/fuzz-generated-lf.dxf")
  fi
  "$build/korvel_fuzz_seeds" "$seeds" "${inputs[@]}"
fi

mkdir -p "$build/fuzz-artifacts"
status=0
for target in "${targets[@]}"; do
  case "$target" in
    file_pass) max_len=40000 ;;
    foreign_groups) max_len=4000 ;;
    configuration) max_len=600 ;;
    blocks) max_len=2000 ;;
    *) max_len=256 ;;
  esac
  corpus="$build/fuzz-corpus/$target"
  mkdir -p "$seeds/$target"
  mkdir -p "$corpus"
  log="$build/fuzz-artifacts/$target.log"
  if "$build/korvel_fuzz_$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=20 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target-" \
      "$corpus" "$seeds/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $target: ${runs:-?} executions in ${seconds} s, no finding"
  else
    echo "fuzz $target: FINDING (log: $log)"
    grep -E '^(finding|==[0-9]+==ERROR|SUMMARY)' "$log" | head -5 || true
    status=1
  fi
done
exit $status
