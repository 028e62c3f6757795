#!/usr/bin/env bash
# The builds a user may be given besides ours (GCC, Release: `make test`),
# each configured once in a folder of its own, built with warnings as errors
# and put through the whole test suite, the expected corpus data included:
#
#   scripts/builds.sh relwithdebinfo   GCC, CMake's RelWithDebInfo (-O2 -g)      build-relwithdebinfo
#   scripts/builds.sh debian           GCC, build type None and Debian's package
#                                      flags, hardening on; then the .deb from
#                                      that very build, and lintian on it        build-debian
#   scripts/builds.sh clang            clang at -O2, no sanitizers                build-clang
#   scripts/builds.sh                  all three, in that order
#
# No benchmarks in these builds. Each prints its test count and its time.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${JOBS:-2}"

# Configures, builds and tests one build: NAME, then cmake arguments.
build_and_test() {
  local name="$1" folder="build-$1" start=$SECONDS
  shift
  cmake -S . -B "$folder" -DKORVEL_WERROR=ON -DKORVEL_BENCH=OFF "$@" >/dev/null
  cmake --build "$folder" -j "$jobs"
  local built=$((SECONDS - start))
  (cd "$folder" && ctest --output-on-failure -j "$jobs" | tee ctest.log | tail -n 4)
  local summary
  summary=$(grep -E 'tests passed' "$folder/ctest.log")
  echo "build $name: built in $built s, tested in $((SECONDS - start - built)) s: $summary"
}

relwithdebinfo() {
  build_and_test relwithdebinfo -DCMAKE_BUILD_TYPE=RelWithDebInfo
}

# As debhelper's cmake build system configures a package: build type None,
# the flags of dpkg-buildflags (CPPFLAGS joined to the compiler flags, as
# CMake has no place of its own for them), installed under /usr.
debian() {
  KORVEL_BOOTSTRAP_EXTRA="dpkg-dev file lintian" scripts/bootstrap.sh
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  local cxxflags ldflags
  cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
  ldflags="$(dpkg-buildflags --get LDFLAGS)"
  echo "debian flags: CXXFLAGS=$cxxflags LDFLAGS=$ldflags"
  build_and_test debian -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags"
  (cd build-debian && cpack -G DEB >/dev/null)
  local deb
  deb=$(ls build-debian/korvel_*_amd64.deb)
  echo "package: $deb"
  # Errors fail the build; warnings and the rest are listed.
  lintian --fail-on error --info "$deb"
}

clang() {
  if ! KORVEL_BOOTSTRAP_EXTRA="clang" scripts/bootstrap.sh || ! command -v clang++ >/dev/null; then
    echo "clang could not be installed" >&2
    return 1
  fi
  CC=clang CXX=clang++ build_and_test clang -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O2"
}

[ $# -eq 0 ] && set -- relwithdebinfo debian clang
for build in "$@"; do
  case "$build" in
    relwithdebinfo | debian | clang) "$build" ;;
    *)
      echo "usage: $0 [relwithdebinfo] [debian] [clang]" >&2
      exit 2
      ;;
  esac
done
