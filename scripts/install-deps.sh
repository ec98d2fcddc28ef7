#!/usr/bin/env bash
# Installs every Debian package that building, testing, benchmarking, fuzzing and the demo need.
# Idempotent and quiet when everything is already present.
set -euo pipefail
packages=(
  build-essential cmake pkg-config make
  clang libclang-rt-14-dev clang-format
  libsdl2-dev libfreetype-dev libfontconfig-dev libpng-dev libimgui-dev
  libjpeg62-turbo-dev zlib1g-dev
  fonts-ipafont-gothic fonts-ipafont-mincho
  libgtest-dev googletest libbenchmark-dev
  xvfb xauth libxtst6 python3
  libvorbis-dev libmpv-dev
  espeak-ng ffmpeg vorbis-tools
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "install-deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
