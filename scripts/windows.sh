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

echo "windows: build, core tests and corpus under wine in $((SECONDS - start)) s"
