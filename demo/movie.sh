#!/usr/bin/env bash
# Makes the demo's opening movie, demo/files/movie/opening.mpg: three seconds of 800 x 600 MPEG-1
# (a title and a box crossing the picture) with a fading tone in MPEG audio layer 2, about
# 120 KB. The result is committed; run this again only to change it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/files/movie/opening.mpg}
mkdir -p "$(dirname "$out")"
font=$(fc-match -f '%{file}' "IPAGothic")
ffmpeg -hide_banner -loglevel error -y \
  -f lavfi -i "color=c=0x102040:s=800x600:r=25:d=3" \
  -f lavfi -i "color=c=0xE08020:s=120x120:r=25:d=3" \
  -f lavfi -i "sine=frequency=523:sample_rate=44100:duration=3" \
  -filter_complex "[0][1]overlay=x='60+560*t/3':y=300,drawtext=fontfile=$font:text='Zorvel':fontsize=72:fontcolor=white:x=(w-text_w)/2:y=140[v];[2]afade=t=out:st=2.4:d=0.6[a]" \
  -map "[v]" -map "[a]" -c:v mpeg1video -q:v 6 -c:a mp2 -b:a 64k -f mpeg "$out"
