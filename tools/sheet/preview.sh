#!/bin/sh
# Renders the sprite sheet and a sample play frame as PNG pictures at twice
# their size, for looking at the art. Needs ImageMagick's convert.
# Usage: preview.sh <sheet_mockup> <sprites.bmp> <output directory>
set -e
mockup=$1 sheet=$2 out=$3
mkdir -p "$out"
# Transparent areas shown in grey so that outlines and shadows can be seen.
convert "$sheet" -fill '#404048' -opaque '#000100' -scale 200% "$out/sheet.png"
"$mockup" "$sheet" "$out/frame.bmp"
convert "$out/frame.bmp" -scale 200% "$out/frame.png"
echo "wrote $out/sheet.png and $out/frame.png"
