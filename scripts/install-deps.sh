#!/usr/bin/env bash
# Installs every Debian package the build, the application and the tests need.
# Does nothing when all of them are already present, so repeated runs are fast.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config clang-format
  qt6-base-dev qt6-base-private-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
  qt6-multimedia-dev qt6-pdf-dev qt6-webengine-dev qt6-webchannel-dev qt6-svg-dev
  qt6-httpserver-dev qt6-websockets-dev
  libqt6svg6 qt6-image-formats-plugins qt6-qpa-plugins
  libxml2-dev libzip-dev zlib1g-dev libpng-dev libfontconfig-dev libhunspell-dev hunspell-en-us
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth ffmpeg poppler-utils zip unzip curl
  fonts-dejavu-core fonts-liberation2 fonts-texgyre fonts-croscore
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
