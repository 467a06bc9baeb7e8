#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, skipping those already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-svg-dev libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    fpc fp-units-db   # an independent dBASE reader and writer for the interoperability tests
    fonts-liberation2 # metric-compatible faces for Arial and Courier New
)
if [ "${1:-}" = "--with-extras" ]; then
    packages+=(gdal-bin xvfb) # benchmark reference and looking at windows
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
