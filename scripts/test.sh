#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite.
#   scripts/test.sh              the normal build in ./build
#   scripts/test.sh --sanitize   AddressSanitizer and UndefinedBehaviorSanitizer in ./build-sanitize:
#                                the whole suite, then a short run of each fuzz target; any report
#                                fails the run
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

if [[ ${1:-} == --sanitize ]]; then
  BUILD_DIR=${SANITIZE_BUILD_DIR:-build-sanitize}
  if [[ ! -f "$BUILD_DIR/build.ninja" ]]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_SANITIZE=ON \
      -DORVANE_WERROR="${ORVANE_WERROR:-OFF}"
  fi
  cmake --build "$BUILD_DIR" -j "${JOBS:-2}"
  # Every finding ends the process that made it with a failure; leaks of the libraries we use
  # (fontconfig, glib, the ODBC driver manager) are theirs, listed in the suppressions file.
  export ASAN_OPTIONS="abort_on_error=0:halt_on_error=1:detect_leaks=1:exitcode=86"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:exitcode=86"
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
  (cd "$BUILD_DIR" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "${JOBS:-2}" --timeout 600)
  "$BUILD_DIR/tests/fuzz/run_fuzzers.sh" "${FUZZ_SECONDS:-60}"
  exit 0
fi

scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "${JOBS:-2}" --timeout 300
