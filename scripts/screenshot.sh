#!/usr/bin/env bash
# Takes the README's screenshot: the built game under a virtual display, in a
# 1280 x 720 window on Rabbit Hill with the menu closed, saved with the
# game's own screenshot key. The picture goes to docs/screenshot.png (or the
# path given), halved to 640 x 360 with 5 bits per colour channel by
# scripts/shrink_png.py so the repository keeps a small file.
#   scripts/screenshot.sh [out.png]      (build first: scripts/run.sh --version)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
game=${ZV_GAME:-build/zarvox}
if [ ! -x "$game" ]; then
  echo "screenshot.sh: $game is missing; build it first (scripts/run.sh --version)" >&2
  exit 1
fi
command -v xvfb-run >/dev/null && command -v xdotool >/dev/null || {
  echo "screenshot.sh: needs xvfb-run and xdotool (scripts/setup.sh installs them)" >&2
  exit 1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/xdg/Zarvox"
printf 'xres=1280\nyres=720\nvideo_mode=Windowed\n' > "$work/xdg/Zarvox/config"

# Runs inside the virtual display: start the game, wait for the track, close
# the menu (the game logs its keys at --super-debug), let the view settle,
# press "s" until the game says it saved the picture, then end the game.
cat > "$work/driver.sh" <<'DRIVER'
set -u
work=$1; shift
log="$work/xdg/Zarvox/lastlog.txt"
"$@" &
pid=$!
wait_log() {
  n=0
  while ! grep -q -- "$1" "$log" 2>/dev/null; do
    n=$((n+1)); [ $n -gt 3000 ] && return 1; kill -0 $pid 2>/dev/null || return 1; sleep 0.1
  done
}
press_until() {  # xdotool key, log text that shows the game saw it
  n=0
  until grep -q -- "$2" "$log" 2>/dev/null; do
    if [ $((n % 30)) -eq 0 ]; then xdotool windowfocus "$wid" 2>/dev/null; xdotool key "$1"; fi
    n=$((n+1)); [ $n -gt 600 ] && return 1; kill -0 $pid 2>/dev/null || return 1; sleep 0.1
  done
}
wait_log 'Max loading delay was' || { kill $pid; exit 1; }
wid=$(xdotool search --name '^Zarvox$' | head -n 1)
press_until Escape '] Esc pressed' || { kill $pid; exit 1; }
sleep 3
press_until s 'Saved "screenshot000.png"' || { kill $pid; exit 1; }
sleep 1
kill -TERM $pid
wait $pid
DRIVER

# Other virtual displays may be running: the search for a free display
# number starts at one of this script's own, and a run that lost its display
# is tried again. The game runs with a clean environment, as the tests run it,
# so nothing of the caller's session reaches it.
shot="$work/xdg/Zarvox/screenshot000.png"
for attempt in 1 2 3; do
  env -i HOME="$work" PATH=/usr/bin:/bin XDG_DATA_HOME="$work/xdg" xvfb-run -a -n $((100 + ($$ + attempt * 7) % 400 * 10)) -s "-screen 0 1280x720x24 -noreset" \
    sh "$work/driver.sh" "$work" "$game" --track rabbithill --super-debug || true
  [ -s "$shot" ] && break
done
if [ ! -s "$shot" ]; then
  echo "screenshot.sh: the game saved no picture; its log:" >&2
  tail -n 20 "$work/xdg/Zarvox/lastlog.txt" >&2 || true
  exit 1
fi
mkdir -p "$(dirname "$out")"
python3 scripts/shrink_png.py "$shot" "$out" "${ZV_SHOT_BITS:-5}"
echo "saved $out ($(stat -c %s "$out") bytes)"
