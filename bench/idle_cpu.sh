#!/usr/bin/env bash
# Idle CPU of the real player in a virtual X server. A game waiting for a click must sleep, not
# spin: laptops run these games for hours on battery.
#
# Usage: bench/idle_cpu.sh BUILD_DIR GAME_DIR [SECONDS]
# Measures the game at its first click wait (the click icon animating), then clicks its way to
# the first choice (the demo's: CLICKS_TO_CHOICE clicks, through bench/x_click.py) and measures
# it waiting there. Prints "idle CPU at a click wait: X.XX% of one core" and the same for the
# choice; exits 1 when either is above the limit or the player misbehaves, 2 on bad usage.
set -euo pipefail

limit_percent=2
settle_seconds=6
# The demo asks for the hero's name after its first page (OK at frame point 490, 344); its first
# choice comes ten pages later, eleven clicks as one completes a page still waiting on its
# voice. A click every 1.5 s lets each page finish typing (a click while it types only completes
# the page). Row 104 of the frame lies above the choices and the name dialog, so a click there
# never picks one. NAME_CLICKS=0 skips the dialog step for other games.
name_clicks="${NAME_CLICKS:-1}"
clicks_to_choice="${CLICKS_TO_CHOICE:-11}"
click_seconds=1.5
click_x=400
click_y=104

usage() {
  echo "usage: $0 BUILD_DIR GAME_DIR [SECONDS]" >&2
  exit 2
}
if [ $# -lt 2 ] || [ $# -gt 3 ]; then usage; fi
binary="$1/zorvel"
game_dir="$2"
seconds="${3:-10}"
case "$seconds" in '' | *[!0-9]* | 0) usage ;; esac
[ -x "$binary" ] || { echo "idle_cpu: $binary not found; build first" >&2; exit 2; }
[ -d "$game_dir" ] || { echo "idle_cpu: no game in $game_dir" >&2; exit 2; }
command -v xvfb-run >/dev/null || { echo "idle_cpu: xvfb-run is not installed" >&2; exit 2; }
command -v python3 >/dev/null || { echo "idle_cpu: python3 is not installed" >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"

work="$(mktemp -d)"
mkdir -p "$work/config"
runner_pid=""
player_pid=""

cleanup() {
  if [ -n "$player_pid" ] && kill -0 "$player_pid" 2>/dev/null; then
    # A close request first; the game may ask for confirmation, so give up on it after a while.
    kill -TERM "$player_pid" 2>/dev/null || true
    for _ in $(seq 30); do
      kill -0 "$player_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$player_pid" 2>/dev/null || true
  fi
  # xvfb-run stops its X server once the player is gone.
  if [ -n "$runner_pid" ]; then wait "$runner_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The player records its own pid from inside xvfb-run, so what gets measured is the game and
# not the wrapper or the X server; the display it got is kept for the clicks. xvfb-run's
# default screen is 8 bits deep; ask for a real one.
# shellcheck disable=SC2016
xvfb-run -a -s "-screen 0 1280x1024x24" \
  sh -c 'echo "$DISPLAY" >"$0.display"; echo "${XAUTHORITY:-}" >"$0.xauth"; echo $$ >"$0"
         exec "$@"' "$work/pid" \
  "$binary" --config-dir "$work/config" "$game_dir" >"$work/log" 2>&1 &
runner_pid=$!

for _ in $(seq 100); do
  [ -s "$work/pid" ] && break
  sleep 0.1
done
player_pid="$(cat "$work/pid" 2>/dev/null || true)"
if [ -z "$player_pid" ]; then
  echo "idle_cpu: the player did not start" >&2
  cat "$work/log" >&2
  exit 1
fi

# utime + stime in clock ticks. The command name in field 2 may contain spaces, so the fields
# are counted from the closing parenthesis.
cpu_ticks() {
  local stat
  stat="$(cat "/proc/$player_pid/stat" 2>/dev/null)" || return 1
  stat="${stat##*) }"
  # shellcheck disable=SC2086
  set -- $stat
  echo $((${12} + ${13}))
}

# Prints the player's CPU ticks, or explains that it has gone and stops the measurement.
ticks_or_fail() {
  if ! cpu_ticks; then
    echo "idle_cpu: the player exited $1" >&2
    cat "$work/log" >&2
    exit 1
  fi
}

# Prints the share of one core the player used over the next $seconds seconds.
measure() {
  local start_ticks end_ticks start_ns end_ns
  start_ticks="$(ticks_or_fail "before the measurement")" || exit 1
  start_ns="$(date +%s%N)"
  sleep "$seconds"
  end_ticks="$(ticks_or_fail "during the measurement")" || exit 1
  end_ns="$(date +%s%N)"
  awk -v ticks=$((end_ticks - start_ticks)) -v hz="$(getconf CLK_TCK)" \
    -v ns=$((end_ns - start_ns)) 'BEGIN { printf "%.2f", ticks / hz / (ns / 1e9) * 100 }'
}

sleep "$settle_seconds"
at_click="$(measure)" || exit 1
echo "idle CPU at a click wait: $at_click% of one core"

click() {
  DISPLAY="$(cat "$work/pid.display")" XAUTHORITY="$(cat "$work/pid.xauth")" \
    python3 "$here/x_click.py" "$@" ||
    { echo "idle_cpu: cannot click in the player's window" >&2; exit 1; }
}
if [ "$name_clicks" -gt 0 ]; then
  click "$name_clicks" "$click_seconds" "$click_x" "$click_y"
  click 1 "$click_seconds" 490 344
fi
click "$clicks_to_choice" "$click_seconds" "$click_x" "$click_y"
sleep "$settle_seconds"
at_choice="$(measure)" || exit 1
echo "idle CPU at a choice: $at_choice% of one core"

awk -v a="$at_click" -v b="$at_choice" -v limit="$limit_percent" \
  'BEGIN { exit !(a <= limit && b <= limit) }'
