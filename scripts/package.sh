#!/usr/bin/env bash
# Builds the Debian package build/orvane_<version>_<arch>.deb with CPack and checks it with lintian.
# Installs what is missing when run as root (the build's packages, dpkg-dev and file for the
# dependencies computed from the binaries, lintian); otherwise prints the apt-get command.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

PACKAGES=(dpkg-dev file lintian)
missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Install them with: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# A tree of its own, configured with Debian's compiler and linker flags (hardening: fortified
# functions, stack protector, read-only relocations bound at start); the suites are not built.
OUT_DIR=${BUILD_DIR:-build}
PACKAGE_DIR=$OUT_DIR/package
if [[ ! -f "$PACKAGE_DIR/build.ninja" ]]; then
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    CFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
    LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S . -B "$PACKAGE_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_TESTS=OFF
fi
cmake --build "$PACKAGE_DIR" -j "${JOBS:-2}" --target orvane orvane-report orvane-jet-reader orvane-pdf-writer orvane_packaging_files
out=$(cd "$OUT_DIR" && pwd)
(cd "$PACKAGE_DIR" && cpack -G DEB -B "$out")

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$PACKAGE_DIR/CPackConfig.cmake")
deb=$OUT_DIR/orvane_${version}_$(dpkg --print-architecture).deb
echo "Package: $deb"
dpkg-deb --field "$deb"
# Warnings and notes are listed; an error fails the script.
lintian --allow-root --fail-on error --tag-display-limit 0 --info "$deb"
