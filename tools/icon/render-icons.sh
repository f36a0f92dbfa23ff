#!/usr/bin/env bash
# Renders the program's icon, src/app/resources/icons/fenban.svg, into the
# PNG sizes the window and the desktop menus use. Needs ImageMagick.
set -euo pipefail
icons=$(cd "$(dirname "$0")/../../src/app/resources/icons" && pwd)
large=$(mktemp --suffix=.png)
trap 'rm -f "$large"' EXIT
convert -background none -density 96 "$icons/fenban.svg" -resize 256x256 "$large"
for size in 16 24 32 48 64 128 256; do
  # -strip keeps dates out of the files, so unchanged icons stay unchanged.
  convert "$large" -resize "${size}x${size}" -depth 8 -strip "PNG32:$icons/fenban-$size.png"
done
ls "$icons"
