#!/bin/sh
# Packs the generated icon's PNG images into one Windows .ico (PNG-compressed entries, as
# Windows Vista and later read them): make_ico.sh <out.ico> <icons folder> <size>...
set -eu
out=$1 icons=$2
shift 2
le16() { printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
tmp="$out.part"
{
  le16 0; le16 1; le16 $#
  offset=$((6 + 16 * $#))
  for n in "$@"; do
    size=$(wc -c < "$icons/${n}x${n}/grappix.png")
    printf "\\$(printf %03o $((n & 255)))\\$(printf %03o $((n & 255)))\\000\\000"
    le16 1; le16 32; le32 "$size"; le32 "$offset"
    offset=$((offset + size))
  done
  for n in "$@"; do cat "$icons/${n}x${n}/grappix.png"; done
} > "$tmp"
mv "$tmp" "$out"
