#!/usr/bin/env bash
# The reliability checks CI runs after the tests:
#
#   scripts/reliability.sh sanitize        core + tests with clang, ASan and UBSan in build-asan, then ctest
#   scripts/reliability.sh fuzz [SECONDS]  clang + libFuzzer targets in build-fuzz, SECONDS each
#
# KORVEL_ASAN_BUILD and KORVEL_FUZZ_BUILD name other build folders.
#
# Both print how long they took. The fuzz step installs clang and its fuzzer
# runtime through the bootstrap; where they cannot be had it is skipped with
# a message.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-2}"
asan_build="${KORVEL_ASAN_BUILD:-build-asan}"
fuzz_build="${KORVEL_FUZZ_BUILD:-build-fuzz}"
werror=()
[ -n "${CI:-}" ] && werror=(-DKORVEL_WERROR=ON)
start=$SECONDS

case "${1:-}" in
  sanitize)
    # Built with clang, so that the core and its tests pass under a second
    # compiler as well as under GCC in the main build: a fault in one
    # compiler's constant evaluation shows up as a difference between them.
    compiler=(CC=clang CXX=clang++)
    if ! KORVEL_BOOTSTRAP_EXTRA="clang" scripts/bootstrap.sh || ! command -v clang++ >/dev/null; then
      echo "clang could not be installed: the sanitizer build uses the default compiler"
      compiler=()
    fi
    env "${compiler[@]}" cmake -S . -B "$asan_build" -DKORVEL_SANITIZE=ON -DKORVEL_GUI=OFF \
      -DKORVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo "${werror[@]}" >/dev/null
    cmake --build "$asan_build" -j "$jobs"
    (cd "$asan_build" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
      UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j "$jobs")
    cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$asan_build/CMakeCache.txt")
    echo "sanitizer build and tests with $(basename "$cxx"): $((SECONDS - start)) s"
    ;;
  fuzz)
    seconds="${2:-60}"
    if ! KORVEL_BOOTSTRAP_EXTRA="clang libclang-rt-14-dev" scripts/bootstrap.sh; then
      echo "fuzzing skipped: clang and its fuzzer runtime could not be installed"
      exit 0
    fi
    if ! command -v clang++ >/dev/null; then
      echo "fuzzing skipped: no clang++"
      exit 0
    fi
    CC=clang CXX=clang++ cmake -S . -B "$fuzz_build" -DKORVEL_FUZZ=ON -DKORVEL_GUI=OFF \
      -DKORVEL_TESTS=OFF -DKORVEL_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$fuzz_build" -j "$jobs" --target korvel_fuzz_all
    fuzz/run.sh "$fuzz_build" "$seconds"
    echo "fuzz build and runs: $((SECONDS - start)) s"
    ;;
  *)
    echo "usage: $0 sanitize | fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
