#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvane. Without a display it prints the
# structure report of the bundled sample database instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh orvane orvane-report orvane_sample_db
BUILD_DIR=${BUILD_DIR:-build}
SAMPLE="$BUILD_DIR/sample/orvane-sample.mdb"
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "Sample database to open on the Access page: $(realpath "$SAMPLE")"
  exec "$BUILD_DIR/src/orvane"
fi
echo "No display: printing the sample database's structure report."
exec "$BUILD_DIR/src/orvane-report" --language en "$SAMPLE"
