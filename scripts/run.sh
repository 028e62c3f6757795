#!/usr/bin/env bash
# Starts Korvel from the build folder; until the window exists, converts the
# example drawings with the command-line converter and shows the results.
set -euo pipefail
build=${1:-build}
if [ -x "$build/korvel" ]; then
  exec "$build/korvel"
fi
out="$build/examples-out"
mkdir -p "$out"
"$build/korvel-cli" -o "$out" --report "$out/KorvelLog.txt" examples/*.dxf
echo "Data files written to $out (run report: $out/KorvelLog.txt):"
for f in "$out"/*.txt; do
  [ "$(basename "$f")" = KorvelLog.txt ] && continue
  echo "== $f"
  head -n 3 "$f"
done
