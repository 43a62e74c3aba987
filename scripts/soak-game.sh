#!/usr/bin/env bash
# A memory soak of the game: 20 robots race laps on Rabbit Hill in a
# 1024x768 window for MINUTES (default 10) while the game's resident memory
# is sampled every 10 s. Prints the table, the first, middle, end and peak
# figures and the change from the middle to the end, then scans the game's
# log for errors. Exits 1 when memory grew more than 5 % from the middle to
# the end, the log holds errors, the robots stopped racing or the game died.
#
#   scripts/soak-game.sh [MINUTES]
#
# Runs the game already built in $ZV_BUILD_DIR (default build/; build it with
# scripts/run.sh or `cmake --build build --target zarvox game_data
# robot_lines`). Uses $DISPLAY when set, else starts its own Xvfb (and the
# dummy sound output). The game gets a scratch home folder, so the player's
# own configuration is left alone; that folder (log, config) is kept and
# named at the end. SOAK_LAPS (default 1000) sets the laps of each race: a
# race that ends anyway is followed by the next from the menus.
set -u

minutes=${1:-10}
case $minutes in '' | *[!0-9]*) echo "usage: $0 [MINUTES]" >&2; exit 2 ;; esac
if [ "$minutes" -lt 1 ]; then echo "usage: $0 [MINUTES] (1 or more)" >&2; exit 2; fi
laps=${SOAK_LAPS:-1000}
case $laps in '' | *[!0-9]*) echo "$0: SOAK_LAPS takes a whole number" >&2; exit 2 ;; esac
robots=20
sample_seconds=10
limit_percent=5

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZV_BUILD_DIR:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
game=$build/zarvox
if [ ! -x "$game" ] || [ ! -f "$build/zzzz.saf" ] || [ ! -f "$build/rabbithill/lines_novice" ]; then
  echo "$0: build the game, its data and the robots' lines first (scripts/run.sh builds them)" >&2
  exit 2
fi
for tool in xdotool awk; do
  command -v $tool >/dev/null || { echo "$0: needs $tool" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zarvox-soak.XXXXXX")
home=$work/xdg/Zarvox
log=$home/lastlog.txt
table=$work/memory.txt
mkdir -p "$home"
{
  echo "xres=1024"
  echo "yres=768"
  echo "video_mode=Windowed"
  echo "track=rabbithill"
  echo "laps=$laps"
  echo "minutes=0"
  for i in $(seq 1 40); do
    if [ "$i" -le $robots ]; then kind=Robot; else kind=Empty; fi
    printf 'slot%02d=%s\n' "$i" "$kind"
  done
} > "$home/config"

xvfb_pid=
game_pid=
cleanup() {
  [ -n "$game_pid" ] && kill "$game_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

own_display=
if [ -z "${DISPLAY:-}" ]; then
  command -v Xvfb >/dev/null || { echo "$0: no DISPLAY and no Xvfb" >&2; exit 2; }
  own_display=1
  # No sound card behind a virtual display: the game still mixes, into
  # SDL's dummy output.
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
fi
# Starts Xvfb on a display number it picks itself (so no other server
# can take the number between a check and the start) and waits until it
# answers.
start_xvfb() {
  rm -f "$work/display.txt"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3> "$work/display.txt" > "$work/xvfb.txt" 2>&1 &
  xvfb_pid=$!
  local t=0
  until [ -s "$work/display.txt" ] && grep -q '^[0-9]' "$work/display.txt"; do
    t=$((t + 1))
    if [ $t -gt 100 ] || ! kill -0 $xvfb_pid 2>/dev/null; then
      echo "$0: Xvfb did not start" >&2; cat "$work/xvfb.txt" >&2; return 1
    fi
    sleep 0.1
  done
  export DISPLAY=":$(head -n 1 "$work/display.txt")"
  until xdotool getdisplaygeometry >/dev/null 2>&1; do
    t=$((t + 1))
    if [ $t -gt 100 ] || ! kill -0 $xvfb_pid 2>/dev/null; then
      echo "$0: Xvfb on $DISPLAY does not answer" >&2; cat "$work/xvfb.txt" >&2; return 1
    fi
    sleep 0.1
  done
}

# "--super-debug" logs every key the game takes (so each press below is
# seen to land) and every timing gate a rider passes (so the race is seen
# to go on).
start_game() {
  XDG_DATA_HOME=$work/xdg "$game" --super-debug > "$work/stdout.txt" 2> "$work/stderr.txt" &
  game_pid=$!
}

alive() { kill -0 "$game_pid" 2>/dev/null; }
count() { grep -c -F -- "$1" "$log" 2>/dev/null || true; }
# Waits up to $2 seconds (default 90) for a log line matching $1.
wait_log() {
  local n=0 limit=$((${2:-90} * 10))
  while ! grep -q -- "$1" "$log" 2>/dev/null; do
    n=$((n + 1))
    if [ $n -gt $limit ] || ! alive; then echo "$0: the game never logged '$1'" >&2; return 1; fi
    sleep 0.1
  done
}
# Presses key $1 until the game logs "$2 pressed" once more.
press() {
  local before n=0
  before=$(count "] $2 pressed")
  while [ "$(count "] $2 pressed")" -le "$before" ]; do
    if [ $((n % 40)) -eq 0 ]; then
      xdotool windowfocus "$wid" 2>/dev/null
      xdotool key "$1"
    fi
    n=$((n + 1))
    if [ $n -gt 400 ] || ! alive; then echo "$0: the game never took key $1" >&2; return 1; fi
    sleep 0.1
  done
}
# From the main menu: "New Race", then its "Start"; the race loads and the
# gate drops.
start_race() {
  local drops
  drops=$(count "Start gate dropped at tick")
  press Return Enter && press Down Down && press Return Enter || return 1
  local n=0
  while [ "$(count "Start gate dropped at tick")" -le "$drops" ]; do
    n=$((n + 1))
    if [ $n -gt 1800 ] || ! alive; then echo "$0: the race never started" >&2; return 1; fi
    sleep 0.1
  done
}
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$game_pid/status" 2>/dev/null; }
hwm_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$game_pid/status" 2>/dev/null; }

# Finds the game's window; a fresh virtual display can turn the first
# client away, so the game gets three tries, each on a display of its own.
find_window() {
  wid=
  local t=0
  while [ -z "$wid" ] && [ $t -lt 600 ] && alive; do
    wid=$(xdotool search --name '^Zarvox$' 2>/dev/null | head -n 1)
    t=$((t + 1))
    sleep 0.1
  done
  [ -n "$wid" ]
}
fail=0
for attempt in 1 2 3; do
  if [ -n "$own_display" ]; then
    start_xvfb || exit 1
  fi
  start_game
  find_window && break
  kill "$game_pid" 2>/dev/null
  wait "$game_pid" 2>/dev/null
  game_pid=
  if [ -z "$own_display" ] || ! grep -q "Can't open the window" "$work/stderr.txt"; then break; fi
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=
done
if [ -z "$game_pid" ] || ! wait_log 'GL_EXTENSIONS: ' || ! start_race; then
  echo "$0: could not start a race; the game's log and output are in $work" >&2
  exit 1
fi

echo "soak: $robots robots racing $laps-lap races on rabbithill for $minutes min, memory every ${sample_seconds} s"
echo "soak: game pid $game_pid on display $DISPLAY, home folder $home"
printf '%8s %10s %8s\n' "time s" "rss MB" "races" > "$table"
races=1
ended=$(count "Final Results")
passes=$(count "passed timing gate")
still_minutes=0
start=$(date +%s)
stop=$((start + minutes * 60))
next=$start
last_check=$start
while :; do
  now=$(date +%s)
  if ! alive; then
    echo "soak: the game ended after $((now - start)) s" >&2
    fail=1
    break
  fi
  if [ "$now" -ge "$next" ]; then
    kb=$(rss_kb)
    [ -n "$kb" ] && awk -v t=$((now - start)) -v kb="$kb" -v r=$races \
      'BEGIN { printf "%8d %10.1f %8d\n", t, kb / 1024, r }' >> "$table"
    tail -n 1 "$table"
    next=$((next + sample_seconds))
  fi
  [ "$now" -ge "$stop" ] && break
  # A race that ended is followed by the next one.
  if [ "$(count "Final Results")" -gt "$ended" ]; then
    echo "soak: race $races over; starting the next"
    sleep 2
    press Escape Esc && start_race || { fail=1; break; }
    races=$((races + 1))
    ended=$(count "Final Results")
  fi
  # Twenty robots pass some timing gate every minute while they race.
  if [ $((now - last_check)) -ge 60 ]; then
    p=$(count "passed timing gate")
    if [ "$p" -le "$passes" ]; then
      still_minutes=$((still_minutes + 1))
      echo "soak: no rider passed a timing gate in the last minute" >&2
    fi
    passes=$p
    last_check=$now
  fi
  sleep 1
done

peak_kb=$(hwm_kb)
gates=$(count "passed timing gate")
kill -TERM "$game_pid" 2>/dev/null
wait "$game_pid" 2>/dev/null
game_pid=

echo
# First, middle (the sample nearest half the run) and end; the peak is the
# largest resident set the kernel saw (VmHWM), loading included.
summary=$(awk -v peak="${peak_kb:-0}" -v limit=$limit_percent '
  NR > 1 { t[++n] = $1; mb[n] = $2 }
  END {
    if (n < 2) { print "too few samples"; exit 2 }
    half = t[n] / 2; m = 1
    for (i = 1; i <= n; i++) if ((t[i] - half)^2 < (t[m] - half)^2) m = i
    change = mb[m] > 0 ? 100 * (mb[n] - mb[m]) / mb[m] : 0
    printf "first %.1f MB at %d s, middle %.1f MB at %d s, end %.1f MB at %d s, peak %.1f MB\n",
      mb[1], t[1], mb[m], t[m], mb[n], t[n], peak / 1024
    printf "middle to end: %+.2f %%\n", change
    exit change > limit ? 1 : 0
  }' "$table")
grew=$?
echo "$summary"
[ $grew -ne 0 ] && { echo "soak: memory grew more than $limit_percent % from the middle to the end"; fail=1; }

# Errors: "Error: ..." lines and any line that speaks of an error (the GL
# extension list names some and is no error), and sanitizer or runtime
# complaints on the game's standard error.
errors=$(grep -v -F '] GL_EXTENSIONS: ' "$log" | grep -E '\] (Error|.*\b[Ee]rror\b)|Out of virtual memory')
errors=$errors$(grep -E 'Sanitizer|runtime error|[Ee]rror' "$work/stderr.txt")
if [ -n "$errors" ]; then
  echo "soak: errors in the log:"
  printf '%s\n' "$errors" | head -n 20
  fail=1
else
  echo "soak: no error in the log"
fi
echo "soak: $races race(s), $gates timing gates passed, $still_minutes minute(s) without one"
[ $still_minutes -gt 0 ] && fail=1
echo "soak: log, config and table in $work"
if [ $fail -ne 0 ]; then echo "soak: FAILED"; exit 1; fi
echo "soak: passed"
