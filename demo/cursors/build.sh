#!/usr/bin/env bash
# demo/cursors/build.sh TOOL GAME_DIR: the demo's animated map cursors, made from the frames in
# the folders here (MSCURnn/*.png, in name order) by the tool's ani-build, into GAME_DIR/icon.
set -euo pipefail
tool=${1:?usage: build.sh TOOL GAME_DIR}
game=${2:?usage: build.sh TOOL GAME_DIR}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$game/icon"
for dir in "$here"/MSCUR[0-9][0-9]; do
  [ -d "$dir" ] || continue
  name=$(basename "$dir")
  "$tool" ani-build "$game/icon/$name.ani" "$dir"/*.png --rate 8 --hotspot 2,2
done
