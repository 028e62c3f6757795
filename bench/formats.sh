#!/usr/bin/env bash
# The data file formats on make bench's 200 MB drawing (CR LF, the same
# generator and seed): korvel-cli with the default settings, then the fields
# N,X,Y,Z in each --format and as text moved from ETRS89 / UTM zone 32N to
# zone 33N, each run right after a line scan, in alternating rounds.
#
#   bench/formats.sh BUILD
#
#   KORVEL_BENCH_MB     drawing size in MB of 1,000,000 bytes (default 200)
#   KORVEL_BENCH_RUNS   alternating rounds (default 5)
#   KORVEL_BENCH_SEED   generator seed (default 20240305)
#
# Prints for each run the medians of wall time, processor time (user +
# system, all threads) and peak resident memory, the wall and processor
# ratios to the line scan just before it with their spread, and the size of
# its data file (all of a shapefile's files). Fails when a run exits with
# other than 0 or leaves no new data file, and checks afterwards that every
# format holds the same points and that the move changed X and Y only.
#
# N,X,Y,Z for every format: the same fields in each, and a Code could be
# longer than GSI-16's 16 characters. The generator's points lie at
# E 500-530 km, N 6100-6130 km, about 9.0-9.5 deg E, 55 deg N: inside UTM
# 32's area of use; zone 33 puts them 5.5-6 deg west of its meridian, past its
# area of use but well within the reach of PROJ's transverse Mercator, the
# move a drawing makes from one zone into the next.
set -euo pipefail
build=${1:-build}
mb=${KORVEL_BENCH_MB:-200}
runs=${KORVEL_BENCH_RUNS:-5}
seed=${KORVEL_BENCH_SEED:-20240305}

for p in korvel-cli korvel_generate_dxf korvel_line_scan korvel_timed_run; do
  if [ ! -x "$build/$p" ]; then
    echo "formats: $build/$p is missing; build first (make build)" >&2
    exit 1
  fi
done
dir="$build/bench-data"
drawing="$dir/survey-$mb""MB-crlf-$seed.dxf"  # bench/run.sh's name: generated once for both
if [ ! -s "$drawing" ]; then
  mkdir -p "$dir"
  "$build/korvel_generate_dxf" "$drawing.part" "$mb" --seed "$seed" >&2
  mv "$drawing.part" "$drawing"
fi
stem=$(basename "$drawing" .dxf)
out="$dir/formats-out"
timed="$build/korvel_timed_run"

# One entry per run: its key (also its folder), its name in the table and
# the extension of its data file.
keys=(plain text csv geojson gpkg shp landxml gsi16 utm33)
names=("plain (default settings)" text csv geojson gpkg shp landxml gsi16 "text, UTM 32 to 33")
declare -A ext=([plain]=txt [text]=txt [csv]=csv [geojson]=geojson [gpkg]=gpkg [shp]=shp
  [landxml]=xml [gsi16]=gsi [utm33]=txt)
fields=(--fields "N,X,Y,Z")
crs=(--source-crs EPSG:25832 --target-crs EPSG:25833)
run_args() {  # INDEX: korvel-cli's options for run INDEX, into args
  case ${keys[$1]} in
    plain) args=() ;;
    utm33) args=("${fields[@]}" "${crs[@]}") ;;
    *) args=("${fields[@]}" --format "${keys[$1]}") ;;
  esac
}
for k in "${keys[@]}"; do mkdir -p "$out/$k"; done

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
range() { printf '%s\n' "$@" | sort -g | awk 'NR == 1 {lo = $1} {hi = $1} END {printf "%.2f-%.2f", lo, hi}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {print a / b}'; }

declare -a sw sc
declare -A w c m rw rc  # per key: the rounds' figures, blank-separated
"$timed" "$build/korvel_line_scan" "$drawing" >/dev/null  # warm the page cache
n=${#keys[@]}
for ((r = 0; r < runs; r++)); do
  # Each round starts one run later, so that no format always follows the same one.
  for ((j = 0; j < n; j++)); do
    i=$(((j + r) % n))
    k=${keys[$i]}
    read -r t _ cpu < <("$timed" "$build/korvel_line_scan" "$drawing")
    sw+=("$t") sc+=("$cpu")
    run_args "$i"
    touch "$out/$k/.before"
    res=$("$timed" "$build/korvel-cli" -q -o "$out/$k" "${args[@]}" "$drawing") ||
      { echo "formats: ${names[$i]}: korvel-cli ended with exit status $?" >&2; exit 1; }
    [ "$out/$k/$stem.${ext[$k]}" -nt "$out/$k/.before" ] ||
      { echo "formats: ${names[$i]}: no new $out/$k/$stem.${ext[$k]}" >&2; exit 1; }
    read -r t rss cpu <<<"$res"
    w[$k]+=" $t" c[$k]+=" $cpu" m[$k]+=" $rss"
    rw[$k]+=" $(ratio "$t" "${sw[-1]}")" rc[$k]+=" $(ratio "$cpu" "${sc[-1]}")"
  done
done

# The same points in every format, and the move touched X and Y only.
f="$out/text/$stem"
points=$(wc -l <"$f.txt")
count() {  # KEY COUNT
  [ "$2" -eq "$points" ] || { echo "formats: $1 holds $2 points, text $points" >&2; exit 1; }
}
cut -d, -f1-4 "$out/plain/$stem.txt" | cmp -s - <(tr -d '\r' <"$f.txt") ||
  { echo "formats: text differs from the plain run's first four fields" >&2; exit 1; }
count csv $(($(wc -l <"$out/csv/$stem.csv") - 1))
count landxml "$(grep -c '<CgPoint ' "$out/landxml/$stem.xml")"
count gsi16 "$(wc -l <"$out/gsi16/$stem.gsi")"
count utm33 "$(wc -l <"$out/utm33/$stem.txt")"
cut -d, -f1,4 "$out/utm33/$stem.txt" | cmp -s - <(cut -d, -f1,4 "$f.txt") ||
  { echo "formats: the move changed more than X and Y" >&2; exit 1; }
if command -v ogrinfo >/dev/null; then
  for k in geojson gpkg shp; do
    count "$k" "$(ogrinfo -ro -so -al "$out/$k/$stem.${ext[$k]}" | awk -F': ' '/^Feature Count/ {print $2}')"
  done
else
  echo "formats: no ogrinfo, the GDAL formats' points not counted" >&2
fi
if command -v cs2cs >/dev/null; then
  # The first point moved by PROJ's own tool; the data file has 3 decimals.
  moved=$(head -1 "$f.txt" | awk -F, '{print $2, $3}' | cs2cs -f %.4f EPSG:25832 EPSG:25833 | awk '{print $1, $2}')
  head -1 "$out/utm33/$stem.txt" | awk -F, -v m="$moved" '{split(m, p, " ");
    d = ($2 - p[1]) ^ 2 + ($3 - p[2]) ^ 2; exit (d > 1e-6)}' ||
    { echo "formats: the first point moved differs from cs2cs ($moved)" >&2; exit 1; }
fi

size() {  # KEY: MB of its data file(s)
  stat -c %s "$out/$1/$stem".* | awk '{s += $1} END {printf "%.1f", s / 1e6}'
}
echo "$(basename "$drawing"), $points points, $runs alternating rounds, medians (spread of the ratio)"
echo "| run                      | wall      | cpu       | peak RSS     | wall / scan            | cpu / scan             | data file |"
echo "|---|---|---|---|---|---|---|"
printf '| %-24s | %7.3f s | %7.3f s | | | | |\n' "line scan" "$(median "${sw[@]}")" "$(median "${sc[@]}")"
for i in "${!keys[@]}"; do
  k=${keys[$i]}
  # shellcheck disable=SC2086  # the figures are blank-separated numbers
  printf '| %-24s | %7.3f s | %7.3f s | %8.1f MiB | %6.2f x (%s) | %6.2f x (%s) | %6.1f MB |\n' \
    "${names[$i]}" "$(median ${w[$k]})" "$(median ${c[$k]})" \
    "$(awk -v k="$(median ${m[$k]})" 'BEGIN {print k / 1024}')" \
    "$(median ${rw[$k]})" "$(range ${rw[$k]})" "$(median ${rc[$k]})" "$(range ${rc[$k]})" "$(size "$k")"
done

# The data files come to some 1.2 GB; the sizes are in the table.
rm -rf "$out"
