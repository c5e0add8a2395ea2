#!/usr/bin/env bash
# busy_machine.sh -- real time on a busy machine: the real game, paced at 60 steps a second
# under SDL's dummy drivers, plays a scripted game for a while, with and without CPU hogs
# beside it, with the frame skip on (the default) and off (BRISEL_FRAMESKIP=0: each shown frame
# is one step, however late), all in the same run. From BRISEL_TIMES it reports steps per
# wall-clock second (60 is real time) and shown frames per second.
#
#   bench/busy_machine.sh [seconds, default 60] [hogs, default 3 per core] [run folder]
#
# Needs stress-ng (installed when missing). Not in CI: about 4 x the seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
hogs=${2:-$((3 * $(nproc)))}
run=${3:-${GRAPPIX_BUILD_DIR:-$root/build}/run}
script="$root/tests/games/tour.script"  # a tour of the three modes, 4000 steps

if [[ ! -x "$run/grappix" ]]; then
  echo "busy_machine: $run/grappix: not built (scripts/setup builds it)" >&2
  exit 2
fi
if ! command -v stress-ng >/dev/null; then
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends stress-ng >&2
fi

work=$(mktemp -d /tmp/grappix-busy-XXXXXX)
hog=""
cleanup() {
  if [[ -n "$hog" ]]; then kill "$hog" 2>/dev/null || true; wait "$hog" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# One paced game; prints "<steps a second> <shown a second> <most steps skipped in a row>".
play() {
  local frameskip=$1
  (cd "$run" && env -u BRISEL_NOPACE -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
     XDG_CONFIG_HOME="$work/home" XDG_DATA_HOME="$work/home" XDG_STATE_HOME="$work/home" \
     BRISEL_INPUT="$script" BRISEL_SEED=1 BRISEL_FRAMES=$((seconds * 60)) \
     BRISEL_FRAMESKIP="$frameskip" BRISEL_TIMES="$work/times.txt" ./grappix >/dev/null 2>&1) || true
  # From the 60th step on (start-up is not play): steps and shown frames over the time between.
  # Also the seconds spent in gaps of more than a quarter second between steps (stalls: the
  # process not run at all, a scene loading), whose debt the loop drops.
  awk 'NR >= 60 { if (!t0) { t0 = $2; s0 = $1 } else if ($2 - t1 > 250) stalls += $2 - t1; t1 = $2; s1 = $1
                  if ($3 == "skipped") { ++run; if (run > most) most = run } else { ++shown; run = 0 } }
       END { span = (t1 - t0) / 1000; if (span <= 0) { print "0 0 0 0"; exit }
             printf "%.2f %.2f %d %.1f\n", (s1 - s0) / span, (shown - 1) / span, most, stalls / 1000 }' "$work/times.txt"
}

report() {
  local label=$1 off on
  off=$(play 0)
  on=$(play 1)
  read -r offSteps offShown _ offStalls <<<"$off"
  read -r onSteps onShown onMost onStalls <<<"$on"
  printf '%-14s frame skip off: %6.2f steps/s %6.2f shown/s (stalls %.1f s) | on: %6.2f steps/s %6.2f shown/s (stalls %.1f s, at most %d skipped in a row) | steps %.3fx\n' \
    "$label" "$offSteps" "$offShown" "$offStalls" "$onSteps" "$onShown" "$onStalls" "$onMost" "$(awk -v a="$onSteps" -v b="$offSteps" 'BEGIN { print (b > 0 ? a / b : 0) }')"
}

echo "busy_machine: ${seconds} s of paced play each, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg) before"
report "idle"
stress-ng --cpu "$hogs" --timeout $((seconds * 3 + 60))s --quiet &
hog=$!
sleep 2
report "$hogs CPU hogs"
