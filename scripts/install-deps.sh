#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing need.
# Idempotent and quiet: does nothing when everything is already present.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  qtbase5-dev libqwt-qt5-dev
  libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev
  clang libclang-rt-14-dev
  gnuplot-x11 xvfb xauth imagemagick xdotool
  oxygen-icon-theme
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo="sudo"
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
