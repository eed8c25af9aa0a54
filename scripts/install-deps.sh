#!/usr/bin/env bash
# Installs the Debian 12 packages Orvane needs to build, run and test, if any are missing.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-translations-l10n libqt6sql6-odbc fonts-liberation
  mdbtools mdbtools-dev
  unixodbc-dev tdsodbc freetds-bin
  libcrypto++-dev libssl-dev libicu-dev
  libgtest-dev libgmock-dev libsqlite3-dev poppler-utils unrtf time clang-format
  python3-jsonschema python3-html5lib libgraphviz-dev
)
# Node.js runs Mermaid's own parser on the Markdown page's diagrams (tests/tools/check_mermaid.mjs).
# A Node.js installed by other means (with its npm) is taken as it is.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  PACKAGES+=(nodejs npm)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

# Mermaid's parser from the npm registry, at the version its lock file names, beside the check.
install_mermaid() {
  local dir
  dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/tools/mermaid"
  if [[ ! -f "$dir/node_modules/mermaid/package.json" || "$dir/package-lock.json" -nt "$dir/node_modules" ]]; then
    echo "Installing Mermaid's parser into $dir"
    (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error)
  fi
}

if [[ ${#missing[@]} -eq 0 ]]; then
  install_mermaid
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
install_mermaid
