#!/usr/bin/env bash
# Configures and builds Orvane into ./build (Ninja, RelWithDebInfo). Arguments name the targets
# to build; without any, everything (programs, tests, benchmark drivers) is built.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if [[ ! -f "$BUILD_DIR/build.ninja" ]]; then
  # ORVANE_WERROR=ON (as CI sets it) turns every warning into an error.
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_WERROR="${ORVANE_WERROR:-OFF}"
fi
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" "${targets[@]}"
