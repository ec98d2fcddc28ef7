#!/usr/bin/env bash
# Makes the demo's animation entries from the frames draw.py drew: demo/anim/STAR (a shooting
# star with a chime, played by `anim`) and demo/anim/FLOWER (played doubled by `animq`).
# Run by `make demo` before build-game, which packs demo/anim into vx_anim.kpz.
# Usage: build.sh ZORVEL_TOOL
set -euo pipefail
tool=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../anim"
mkdir -p "$out"
cd "$here/frames"
read -r -a star < star.txt
read -r -a flower < flower.txt
"$tool" anim-build --period 80 --sound chime.wav "$out/STAR" "${star[@]}" >/dev/null
"$tool" anim-build --period 15 --size 200x150 "$out/FLOWER" "${flower[@]}" >/dev/null
