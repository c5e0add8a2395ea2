#!/bin/sh
# The Windows icon (cmake/make_ico.sh): each size's directory entry names its width and height,
# its PNG's length and where the PNG starts, or Windows shows no icon (or a wrong one).
#   windows_icon_test.sh <make_ico.sh> <generated icons folder>
set -eu
make_ico=$1 icons=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
sh "$make_ico" "$tmp/grappix.ico" "$icons" 16 32 48 64
u8() { od -An -tu1 -j "$1" -N 1 "$tmp/grappix.ico" | tr -d ' '; }
u32() { od -An -tu4 -j "$1" -N 4 "$tmp/grappix.ico" | tr -d ' '; }
[ "$(u8 2)$(u8 4)" = "14" ] || { echo "not an icon file of 4 images"; exit 1; }
entry=6
for n in 16 32 48 64; do
  png="$icons/${n}x${n}/grappix.png"
  size=$(u32 $((entry + 8))) offset=$(u32 $((entry + 12)))
  [ "$(u8 "$entry")" = "$n" ] && [ "$(u8 $((entry + 1)))" = "$n" ] || { echo "${n}px: wrong size"; exit 1; }
  [ "$size" = "$(wc -c < "$png")" ] || { echo "${n}px: length $size"; exit 1; }
  tail -c +$((offset + 1)) "$tmp/grappix.ico" | head -c "$size" | cmp -s - "$png" ||
    { echo "${n}px: the image at $offset is not its PNG"; exit 1; }
  entry=$((entry + 16))
done
