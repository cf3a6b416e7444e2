#!/usr/bin/env bash
# Starts the program under a virtual X server, takes a screenshot of the
# screen and checks that it is not blank.
#   scripts/screenshot.sh [PROGRAM] [PICTURE] [run]
# Defaults: build/release/pulsesim and build/screen.png. Exits 77 (skipped)
# when Xvfb or ImageMagick is missing. The program runs from the repository
# root, where it finds config/.
# With "run" (needs xdotool) it then gives the default setup two billion round
# trips, clicks Run and takes PICTURE-running.png two seconds later, clicks
# Stop and takes PICTURE-stopped.png, then PICTURE-errors.png of the Errors
# tab with its first row selected. The clicks go to where the window
# places its tool bar and parameter table on a 1280x1024 screen.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath -m "${1:-$root/build/release/pulsesim}")
picture=$(realpath -m "${2:-$root/build/screen.png}")

mode=${3:-}
tools="Xvfb import convert"
[ "$mode" = run ] && tools="$tools xdotool"
for tool in $tools; do
  command -v "$tool" >/dev/null || { echo "screen: $tool is not installed; skipped"; exit 77; }
done
[ -x "$program" ] || { echo "screen: no program at $program" >&2; exit 1; }

xvfb_pid=""; program_pid=""
cleanup() {
  set +e
  for pid in $program_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -f "$displayfile"
}
displayfile=$(mktemp)
trap cleanup EXIT

# Xvfb picks a free display and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$displayfile" ] && break; sleep 0.1; done
[ -s "$displayfile" ] || { echo "screen: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$displayfile")"

cd "$root"
QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 "$program" >/dev/null 2>&1 &
program_pid=$!

# The window is drawn once the screen holds more than a handful of colours.
mkdir -p "$(dirname "$picture")"
colours=0
for _ in $(seq 30); do
  sleep 0.5
  kill -0 "$program_pid" 2>/dev/null || { echo "screen: the program ended early" >&2; exit 1; }
  import -window root "$picture" 2>/dev/null || continue
  colours=$(convert "$picture" -format '%k' info:)
  [ "$colours" -gt 64 ] && break
done
if [ "$colours" -le 64 ]; then
  echo "screen: the screen stayed blank ($colours colours): $picture" >&2
  exit 1
fi
# One more picture once drawing has settled.
sleep 1
import -window root "$picture"
colours=$(convert "$picture" -format '%k' info:)
echo "screen: $colours colours in $picture"

[ "$mode" = run ] || exit 0
shot() {
  import -window root "${picture%.png}-$1.png"
  echo "screen: ${picture%.png}-$1.png"
}
# The "Roundtrips" value of the selected default setup, then Run.
xdotool mousemove 400 371 click --repeat 2 1
sleep 0.5
xdotool key ctrl+a type 2000000000
xdotool key Return
sleep 0.5
xdotool mousemove 29 42 click 1
sleep 2
shot running
# Stop, and the end of the run.
xdotool mousemove 62 42 click 1
sleep 2
shot stopped
xdotool mousemove 222 86 click 1
sleep 0.5
xdotool mousemove 300 140 click 1
sleep 0.5
shot errors
