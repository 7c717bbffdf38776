#!/usr/bin/env bash
# Installs the Debian 12 packages the editor needs to build, run and test (only those missing).
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-serialport-dev qt6-svg-dev qt6-tools-dev-tools libgl-dev
  libftdi1-dev libsndfile1-dev libsoxr-dev libfftw3-dev libgtest-dev libbenchmark-dev
  xvfb xauth x11-utils openbox xdotool socat stm32flash sox imagemagick fonts-dejavu-core python3
  dbus-daemon at-spi2-core python3-pyatspi
  clang libclang-rt-14-dev desktop-file-utils appstream lintian
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
