#!/usr/bin/env bash
# finer_art_memory.sh -- what the finer pictures of large windows cost in memory: the real game
# plays the same scripted game for a number of frames on the GPU path in an X server of its
# own (Xvfb, Mesa's llvmpipe: its textures are in the process, so they count), and the peak
# resident size of each run is reported:
#
#   1600 x 900, 1x       a window where the pictures as the game addresses them are drawn
#   3840 x 2160, 1x      a 4K window from a run folder without the finer files (the baseline)
#   3840 x 2160, 2x      a 4K window with the pictures drawn twice as fine (and finer text)
#
# and the software path at 1600 x 900 for reference; ratios against the 4K 1x run.
#
#   bench/finer_art_memory.sh [frames, default 3000] [run folder]
#
# Needs Xvfb and Mesa (scripts/setup installs them). Not in CI: a few minutes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
frames=${1:-3000}
run=${2:-${GRAPPIX_BUILD_DIR:-$root/build}/run}
script="$root/tests/games/tour.script"  # a tour of the three modes, 4000 steps

if [[ ! -x "$run/grappix" ]]; then
  echo "finer_art_memory: $run/grappix: not built (scripts/setup builds it)" >&2
  exit 2
fi
compgen -G "$run/Data/*@2x.*" >/dev/null || { echo "finer_art_memory: $run/Data has no finer pictures" >&2; exit 2; }
for tool in Xvfb /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "finer_art_memory: $tool is missing (apt-get install xvfb time)" >&2; exit 2; }
done

work=$(mktemp -d /tmp/grappix-memory-XXXXXX)
xpid=""
cleanup() {
  if [[ -n "$xpid" ]]; then kill "$xpid" 2>/dev/null || true; wait "$xpid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A run folder of the pictures as the game addresses them only: links to all but the finer
# files, and the game itself (which opens the Data/ beside it).
mkdir -p "$work/coarse/Data"
ln "$run/grappix" "$work/coarse/grappix" 2>/dev/null || cp "$run/grappix" "$work/coarse/grappix"
for f in "$run"/Data/*; do
  [[ $f == *@2x.* ]] || ln -s "$f" "$work/coarse/Data/"
done

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 3840x2300x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xpid=$!
read -r -t 10 display <"$work/display" || { echo "finer_art_memory: Xvfb did not start" >&2; exit 1; }

# One game; prints its peak resident size in MiB.
peak() {
  local folder=$1 renderer=$2 width=$3 height=$4
  rm -rf "$work/home"
  mkdir -p "$work/home/grappix"
  printf 'window-width = %s\nwindow-height = %s\n' "$width" "$height" >"$work/home/grappix/settings.ini"
  (cd "$folder" && env -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 DISPLAY=":$display" SDL_AUDIODRIVER=dummy \
     XDG_CONFIG_HOME="$work/home" XDG_DATA_HOME="$work/home" XDG_STATE_HOME="$work/home" BRISEL_NOPACE=1 \
     BRISEL_RENDERER="$renderer" BRISEL_INPUT="$script" BRISEL_SEED=1 BRISEL_FRAMES="$frames" \
     /usr/bin/time -f '%M' -o "$work/peak" ./grappix >/dev/null 2>&1) ||
    { echo "finer_art_memory: the game failed ($renderer, $width x $height, in $folder)" >&2; exit 1; }
  awk '{ printf "%.1f", $1 / 1024 }' "$work/peak"
}

echo "finer_art_memory: peak resident size of a ${frames}-frame game, $(nproc) cores"
soft=$(peak "$run" software 1600 900)
small=$(peak "$run" gpu 1600 900)
coarse=$(peak "$work/coarse" gpu 3840 2160)
fine=$(peak "$run" gpu 3840 2160)
ratio() { awk -v a="$1" -v b="$coarse" 'BEGIN { printf "%.2f", a / b }'; }
printf '%-26s %8s MiB  %5sx\n' "software, 1600 x 900" "$soft" "$(ratio "$soft")" \
  "GPU, 1600 x 900, 1x" "$small" "$(ratio "$small")" \
  "GPU, 3840 x 2160, 1x" "$coarse" "1.00" \
  "GPU, 3840 x 2160, 2x" "$fine" "$(ratio "$fine")"
