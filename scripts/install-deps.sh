#!/usr/bin/env bash
# Installs the Debian packages Tessory needs to build and test, when missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-declarative-dev libgl-dev
  libjpeg62-turbo-dev zlib1g-dev liblzma-dev
  libqpdf-dev libfreetype-dev libfontconfig-dev libharfbuzz-dev
  libavcodec-dev libavutil-dev libswscale-dev
  libgtest-dev
  clang libclang-rt-14-dev
  poppler-utils qpdf fonts-dejavu-core
  xvfb xdotool
  help2man librsvg2-bin desktop-file-utils bash-completion man-db
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then sudo="sudo"; else
    echo "These packages are missing and this user cannot install them: ${missing[*]}" >&2
    echo "Install them as root (apt-get install ${missing[*]}) and run make again." >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
