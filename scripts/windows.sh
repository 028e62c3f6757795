#!/usr/bin/env bash
# The core, korvel-cli and the core tests built for 64-bit Windows with
# Debian's mingw-w64 and run under wine: every core test, then korvel-cli.exe
# held against the expected data of the real corpus by the same test that
# holds the Linux build (tests/cli/expected_data_test.cpp).
#
#   scripts/windows.sh [BUILD]     BUILD is the build folder, build-win by default
#
# Installs what it needs; a compiler or wine that cannot be installed fails it.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-win}"
jobs="${JOBS:-2}"
werror=() host_werror=()
[ -n "${CI:-}" ] && werror=(-DKORVEL_WERROR=ON) host_werror=(-Werror)
start=$SECONDS

# The POSIX-threads variant of the compiler: std::thread needs it. The wine
# package brings the wine command, which wine64 alone leaves off the PATH.
KORVEL_BOOTSTRAP_EXTRA="g++-mingw-w64-x86-64-posix googletest wine wine64" scripts/bootstrap.sh
for tool in x86_64-w64-mingw32-g++-posix wine wineserver; do
  command -v "$tool" >/dev/null || { echo "windows: $tool not found after installing" >&2; exit 1; }
done

cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKORVEL_GUI=OFF \
  -DKORVEL_BENCH=OFF -DKORVEL_GTEST_SOURCES=/usr/src/googletest "${werror[@]}" --no-warn-unused-cli >/dev/null
cmake --build "$build" -j "$jobs" --target korvel-cli korvel_core_tests
echo "windows: built in $((SECONDS - start)) s"

# A wine of the build's own, without the .NET and browser parts nothing here
# uses, kept running between the programs so that each starts at once.
export WINEPREFIX="$PWD/$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p 60
trap 'wineserver -k || true' EXIT
wine cmd /c exit >/dev/null 2>&1 || true  # makes the prefix, which prints its own lines

# Drive Z: shows the Linux root, so the tests' absolute Linux paths work
# from a working folder on it.
(cd "$build" && wine ./korvel_core_tests.exe --gtest_brief=1)

host="$build/host"
mkdir -p "$host"
g++ -std=c++20 -O2 -Wall -Wextra -Wpedantic "${host_werror[@]}" \
  -DKORVEL_CLI="\"$PWD/$build/korvel-cli.exe\"" \
  -DKORVEL_CORPUS_DIR="\"$PWD/../shared/corpus/real\"" \
  tests/cli/expected_data_test.cpp -o "$host/korvel_expected_data_tests" -lgtest_main -lgtest -pthread
KORVEL_CLI_COMMAND="wine '$PWD/$build/korvel-cli.exe'" KORVEL_CLI_DRIVE=Z: \
  "$host/korvel_expected_data_tests"

# The formats the Windows build writes without GDAL, held against the Linux
# build's files of the same drawing (LandXML's date and time aside).
linux_cli="${KORVEL_LINUX_CLI:-build/korvel-cli}"
if [ -x "$linux_cli" ]; then
  formats="$build/formats"
  rm -rf "$formats" && mkdir -p "$formats/win" "$formats/linux"
  example=docs/examples/spot-heights.dxf
  for format in csv landxml gsi16; do
    wine "$build/korvel-cli.exe" -q --format "$format" --fields N,X,Y,Z,Code --code Layer \
      -o "$formats/win" "$example"
    "$linux_cli" -q --format "$format" --fields N,X,Y,Z,Code --code Layer -o "$formats/linux" \
      "$example"
  done
  for file in "$formats"/linux/*; do
    name=$(basename "$file")
    if ! diff <(sed 's/ date="[^"]*" time="[^"]*"//' "$file") \
      <(sed 's/ date="[^"]*" time="[^"]*"//' "$formats/win/$name") >/dev/null; then
      echo "windows: $name differs from the Linux build's" >&2
      exit 1
    fi
  done
  echo "windows: csv, landxml and gsi16 as the Linux build writes them"
else
  echo "windows: formats not compared, no Linux korvel-cli at $linux_cli"
fi

echo "windows: build, core tests and corpus under wine in $((SECONDS - start)) s"
