#!/usr/bin/env bash
# Renders every icon of src/gui/icons at 16 and 24 pixels (shown 4 and 3 times enlarged, pixel for
# pixel) and at 64 pixels into one contact sheet, docs/screenshots/icons.png, to look at them side by side.
# Needs rsvg-convert (librsvg2-bin), ImageMagick and the DejaVu fonts (fonts-dejavu-core).
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

tiles=()
for svg in src/gui/icons/*.svg; do
  name=$(basename "$svg" .svg)
  for size in 16 24 64; do
    rsvg-convert -w $size -h $size "$svg" -o "$work/$name-$size.png"
    # Point sampling keeps the small renderings' pixels as they are.
    convert "$work/$name-$size.png" -filter point -resize 64x64 "$work/$name-$size-shown.png"
    tiles+=(-label "$name $size" "$work/$name-$size-shown.png")
  done
done
montage "${tiles[@]}" -tile 6x -geometry 64x64+28+6 -font DejaVu-Sans -pointsize 11 -background '#ececec' \
  docs/screenshots/icons.png
echo docs/screenshots/icons.png
